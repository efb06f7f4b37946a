#include "ui/QrCodeProvider.h"

#include <QUrl>

#include <qrencode.h>

#include <memory>

namespace {
constexpr int kQuietZone = 4;
}

QImage qrCodeImage(const QByteArray &text)
{
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    const int side = code->width + 2 * kQuietZone;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + kQuietZone, y + kQuietZone, qRgb(0, 0, 0));
    return image;
}

QrCodeProvider::QrCodeProvider()
    : QQuickImageProvider(QQuickImageProvider::Image)
{
}

QImage QrCodeProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    QImage image = qrCodeImage(QUrl::fromPercentEncoding(id.toUtf8()).toUtf8());
    if (image.isNull())
        return image;
    const int wanted = std::max(requestedSize.width(), requestedSize.height());
    const int scale = std::max(1, wanted / image.width());
    image = image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (size)
        *size = image.size();
    return image;
}
