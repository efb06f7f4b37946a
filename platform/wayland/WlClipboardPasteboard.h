#pragma once

#include "platform/Pasteboard.h"

// The Wayland clipboard through wl-clipboard's wl-copy and wl-paste, which
// speak the data-control protocol: unlike a Wayland client's own clipboard,
// it can be read and set while no window of this program has the focus.
// wl-copy stays in the background to serve what it was given, as the owner of
// the clipboard, until something else is copied.
class WlClipboardPasteboard : public Pasteboard {
public:
    void clearContents() override;
    void writeImage(const QImage &image) override;
    void setString(const QString &text) override;
    std::optional<QByteArray> data(const QString &type) override;
    std::optional<QString> string() override;

    // Whether wl-copy and wl-paste are installed.
    static bool isAvailable();
};
