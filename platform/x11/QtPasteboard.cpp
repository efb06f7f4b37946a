#include "platform/x11/QtPasteboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

struct MimeType {
    QString mime;
    const char *imageFormat;
    int quality = -1;
};

std::optional<MimeType> mimeTypeOf(const QString &type)
{
    if (type == Pasteboard::typeTIFF)
        return MimeType{QStringLiteral("image/tiff"), "TIFF"};
    if (type == Pasteboard::typePNG)
        // Deflate's fastest level: the default takes seconds for a photo.
        return MimeType{QStringLiteral("image/png"), "PNG", 85};
    return std::nullopt;
}

} // namespace

void QtPasteboard::clearContents()
{
    QGuiApplication::clipboard()->clear();
}

void QtPasteboard::writeImage(const QImage &image)
{
    // An image (not bytes of one format) so that other programs are offered
    // every format Qt can write, image/png among them.
    QGuiApplication::clipboard()->setImage(image);
}

void QtPasteboard::setString(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

std::optional<QByteArray> QtPasteboard::data(const QString &type)
{
    const std::optional<MimeType> mime = mimeTypeOf(type);
    const QMimeData *contents = QGuiApplication::clipboard()->mimeData();
    if (!mime || !contents)
        return std::nullopt;
    if (contents->hasFormat(mime->mime))
        return contents->data(mime->mime);
    // While this program owns the clipboard, Qt hands back the image it was
    // given rather than the encoded forms other programs receive. (For another
    // owner Qt would decode any image type; only the asked-for type counts.)
    if (QGuiApplication::clipboard()->ownsClipboard() && contents->hasImage()) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QImage image = qvariant_cast<QImage>(contents->imageData());
        if (image.save(&buffer, mime->imageFormat, mime->quality))
            return bytes;
    }
    return std::nullopt;
}

std::optional<QString> QtPasteboard::string()
{
    const QMimeData *contents = QGuiApplication::clipboard()->mimeData();
    if (!contents || !contents->hasText())
        return std::nullopt;
    return contents->text();
}
