#include "actions/ClipboardActions.h"

#include "platform/FileViewer.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"
#include "platform/files/StandardLocations.h"
#include "actions/ClipboardFit.h"
#include "actions/PngFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <QThreadPool>

namespace {

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

TDMessage imagePayload(const QByteArray &png)
{
    return td::ClipboardImagePayload{QString::fromLatin1(png.toBase64())};
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

} // namespace

ClipboardActions::ClipboardActions(Pasteboard &pasteboard, ScreenCapture &screenCapture,
                                   FileViewer &fileViewer, ActionLog log, QObject *parent)
    : QObject(parent), m_pasteboard(pasteboard), m_screenCapture(screenCapture),
      m_fileViewer(fileViewer), m_log(std::move(log))
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
    if (std::optional<TDMessage> image = clipboardImage())
        return std::move(*image);
    return clipboardText();
}

std::optional<TDMessage> ClipboardActions::clipboardImage()
{
    // PNG bytes that fit go out as they are: they already are the image at
    // its own size, and encoding it again costs more than all the rest.
    const std::optional<QByteArray> png = m_pasteboard.data(Pasteboard::typePNG);
    const bool pngIsWhole = png && png::wellFormedSize(*png);
    if (pngIsWhole && png->size() <= clipboardfit::maxPngBytes())
        return imagePayload(*png);

    for (const QString &type : {Pasteboard::typeTIFF, Pasteboard::typePNG}) {
        const bool isPng = type == Pasteboard::typePNG;
        const std::optional<QByteArray> bytes = isPng ? png : m_pasteboard.data(type);
        if (!bytes)
            continue;
        const QImage image = QImage::fromData(*bytes);
        if (image.isNull())
            continue;
        const std::optional<clipboardfit::FittedImage> fitted =
            clipboardfit::fitImage(image, isPng && pngIsWhole ? png->size() : 0);
        if (!fitted)
            continue;
        if (fitted->size != image.size())
            m_log.write(QStringLiteral("[Clipboard] Image %1 too large for one message to the "
                                       "phone, sent at %2")
                            .arg(sizeText(image.size()), sizeText(fitted->size)));
        return imagePayload(fitted->png);
    }
    return std::nullopt;
}

TDMessage ClipboardActions::clipboardText()
{
    QString text = m_pasteboard.string().value_or(QString());
    if (std::optional<QString> cut = clipboardfit::cutToFit(text)) {
        m_log.write(QStringLiteral("[Clipboard] Text of %1 bytes too long for one message to the "
                                   "phone, sent its first %2 bytes")
                        .arg(text.toUtf8().size())
                        .arg(cut->toUtf8().size()));
        text = std::move(*cut);
    }
    return td::ClipboardPayload{text};
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
