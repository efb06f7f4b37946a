#pragma once

#include <QStringList>

#include <optional>

// What kind of desktop this program runs in, taken once at start (before Qt
// picks its display) and asked by everything that depends on it.
struct DesktopSession {
    // Who can steer other applications' windows.
    enum class WindowControl { x11, kwin, gnomeShell, unavailable };

    WindowControl windowControl = WindowControl::unavailable;
    // A Wayland display answers; its globals are then known.
    bool wayland = false;
    QStringList waylandGlobals;
    // A client without the focus may read and set the clipboard.
    bool dataControl = false;
    bool x11Display = false;

    // What the probe reads: the environment and the Wayland display's globals
    // (none when no Wayland display answers).
    struct Facts {
        QString sessionType;    // XDG_SESSION_TYPE
        QString currentDesktop; // XDG_CURRENT_DESKTOP, colon-separated
        bool x11Display = false;
        std::optional<QStringList> waylandGlobals;
    };
    static DesktopSession describe(const Facts &facts);

    // This process's session, probed on the first call.
    static const DesktopSession &current();
};
