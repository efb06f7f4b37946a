#include "server/ClipboardActions.h"

#include "platform/FileViewer.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"
#include "platform/StandardLocations.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <QThreadPool>

namespace {

// The quality Qt's PNG writer takes for a compression factor of 0.85.
constexpr int pngQuality = 85;

// Strict standard base64: the alphabet with "=" padding, nothing else.
std::optional<QByteArray> decodeBase64(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    // Characters outside Latin-1 become '?', which the decoder rejects.
    QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(*result);
}

// Blocks until the tool ends; shows the file, on the main thread, only when
// it was written and `owner` still exists. A failure is neither logged nor sent.
void captureAndReveal(ScreenCapture &capture, QPointer<ClipboardActions> owner, const QString &path)
{
    if (capture.capture(path))
        return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [owner, path] {
        if (owner)
            owner->revealInFinder(path);
    });
}

std::optional<QImage> decodeImage(QStringView base64)
{
    const std::optional<QByteArray> bytes = decodeBase64(base64);
    if (!bytes)
        return std::nullopt;
    QImage image = QImage::fromData(*bytes);
    if (image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QByteArray> encodePNG(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG", pngQuality))
        return std::nullopt;
    return png;
}

} // namespace

ClipboardActions::ClipboardActions(Pasteboard &pasteboard, ScreenCapture &screenCapture,
                                   FileViewer &fileViewer, QObject *parent)
    : QObject(parent), m_pasteboard(pasteboard), m_screenCapture(screenCapture), m_fileViewer(fileViewer)
{
}

void ClipboardActions::receiveImagePayload(const QString &data)
{
    const std::optional<QImage> image = decodeImage(data);
    if (!image)
        return;
    m_pasteboard.clearContents();
    m_pasteboard.writeImage(*image);
}

void ClipboardActions::receiveTextPayload(const QString &text)
{
    m_pasteboard.clearContents();
    if (text.startsWith(imageMarker)) {
        if (const std::optional<QImage> image = decodeImage(QStringView(text).sliced(imageMarker.size()))) {
            m_pasteboard.writeImage(*image);
            return;
        }
    }
    m_pasteboard.setString(text);
}

TDMessage ClipboardActions::sendClipboard()
{
    for (const QString &type : {Pasteboard::typeTIFF, Pasteboard::typePNG}) {
        const std::optional<QByteArray> bytes = m_pasteboard.data(type);
        if (!bytes)
            continue;
        const QImage image = QImage::fromData(*bytes);
        if (image.isNull())
            continue;
        if (const std::optional<QByteArray> png = encodePNG(image))
            return td::ClipboardImagePayload{QString::fromLatin1(png->toBase64())};
    }
    return td::ClipboardPayload{m_pasteboard.string().value_or(QString())};
}

QString ClipboardActions::screenshotPath(const QString &desktop, qint64 msecsSinceEpoch)
{
    return desktop + QStringLiteral("/Tendril_") + QString::number(msecsSinceEpoch / 1000)
        + QStringLiteral(".png");
}

void ClipboardActions::takeScreenshot()
{
    const QString path = screenshotPath(StandardLocations::desktopDirectory(),
                                        QDateTime::currentMSecsSinceEpoch());
    // The weak pointer is made here, on the main thread, and read only there.
    QThreadPool::globalInstance()->start([capture = &m_screenCapture, owner = QPointer(this), path] {
        captureAndReveal(*capture, owner, path);
    });
}

void ClipboardActions::captureScreen(const QString &path)
{
    captureAndReveal(m_screenCapture, this, path);
}

void ClipboardActions::revealInFinder(const QString &path)
{
    m_fileViewer.showFile(path);
}
