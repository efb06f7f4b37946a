#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// The system-wide clipboard. Used on the main thread only.
class Pasteboard {
public:
    // The two image types read back, in the desktop's names.
    static inline const QString typeTIFF = QStringLiteral("public.tiff");
    static inline const QString typePNG = QStringLiteral("public.png");

    virtual ~Pasteboard() = default;

    virtual void clearContents() = 0;
    // Puts an image on the clipboard in whatever forms the platform offers.
    virtual void writeImage(const QImage &image) = 0;
    virtual void setString(const QString &text) = 0;
    // The bytes of one type, or none when the clipboard does not offer it.
    virtual std::optional<QByteArray> data(const QString &type) = 0;
    // The plain text, or none.
    virtual std::optional<QString> string() = 0;
};
