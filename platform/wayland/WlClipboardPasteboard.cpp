#include "platform/wayland/WlClipboardPasteboard.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int timeoutMs = 3000;

// Runs one wl-clipboard tool, feeding it `input`; its output on success.
std::optional<QByteArray> runTool(const QString &tool, const QStringList &arguments,
                                  const QByteArray &input = {})
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    // wl-copy's serving child keeps whatever it inherits: give it nothing to hold.
    const bool copying = tool == QLatin1String("wl-copy");
    process.setStandardErrorFile(QProcess::nullDevice());
    if (copying)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return copying ? QByteArray() : process.readAllStandardOutput();
}

QString mimeTypeOf(const QString &type)
{
    return type == Pasteboard::typeTIFF ? QStringLiteral("image/tiff")
         : type == Pasteboard::typePNG  ? QStringLiteral("image/png")
                                        : QString();
}

} // namespace

bool WlClipboardPasteboard::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("wl-paste")).isEmpty();
}

void WlClipboardPasteboard::clearContents()
{
    runTool(QStringLiteral("wl-copy"), {QStringLiteral("--clear")});
}

void WlClipboardPasteboard::writeImage(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.save(&buffer, "PNG"))
        runTool(QStringLiteral("wl-copy"), {QStringLiteral("--type"), QStringLiteral("image/png")}, png);
}

void WlClipboardPasteboard::setString(const QString &text)
{
    runTool(QStringLiteral("wl-copy"), {QStringLiteral("--type"), QStringLiteral("text/plain;charset=utf-8")},
            text.toUtf8());
}

std::optional<QByteArray> WlClipboardPasteboard::data(const QString &type)
{
    const QString mime = mimeTypeOf(type);
    if (mime.isEmpty())
        return std::nullopt;
    // Only an exact offer counts: asked for one type, wl-paste would pick another.
    const std::optional<QByteArray> offered = runTool(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
    if (!offered || !offered->split('\n').contains(mime.toLatin1()))
        return std::nullopt;
    return runTool(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline"), QStringLiteral("--type"), mime});
}

std::optional<QString> WlClipboardPasteboard::string()
{
    const std::optional<QByteArray> text =
        runTool(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline"), QStringLiteral("--type"), QStringLiteral("text")});
    if (!text)
        return std::nullopt;
    return QString::fromUtf8(*text);
}
