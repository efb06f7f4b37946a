#pragma once

#include "platform/Pasteboard.h"

// The clipboard of the running QGuiApplication (the X11 CLIPBOARD selection
// on Linux). Types are read as image/tiff and image/png.
class QtPasteboard : public Pasteboard {
public:
    void clearContents() override;
    void writeImage(const QImage &image) override;
    void setString(const QString &text) override;
    std::optional<QByteArray> data(const QString &type) override;
    std::optional<QString> string() override;
};
