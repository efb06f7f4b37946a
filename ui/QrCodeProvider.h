#pragma once

#include <QImage>
#include <QQuickImageProvider>

// Serves QR codes to QML as "image://qrcode/<percent-encoded text>": dark
// modules on white with a quiet zone, scaled by whole pixels so a phone's
// camera reads them.
class QrCodeProvider : public QQuickImageProvider {
public:
    static constexpr auto providerId = "qrcode";

    QrCodeProvider();
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};

// The code for `text`, one pixel a module with a four-module quiet zone;
// null when the text does not fit a code.
QImage qrCodeImage(const QByteArray &text);
