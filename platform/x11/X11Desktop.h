#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

struct xcb_connection_t;

// The window manager's view of the X display (EWMH), over a connection of its
// own so that it works from any thread. Every request is a no-op when no X
// display can be reached.
class X11Desktop {
public:
    using Window = std::uint32_t;

    // A managed window and what it says about its owner.
    struct Client {
        Window window = 0;
        qint64 pid = 0; // _NET_WM_PID, 0 when not set
        QString instance, windowClass; // WM_CLASS
        bool normal = true; // _NET_WM_WINDOW_TYPE normal or unset
    };
    // Who asks the window manager: a pager's requests carry the user's intent.
    enum class Source : std::uint32_t { application = 1, pager = 2 };

    X11Desktop(); // connects to $DISPLAY
    ~X11Desktop();
    X11Desktop(const X11Desktop &) = delete;
    X11Desktop &operator=(const X11Desktop &) = delete;

    bool isOpen() const;
    // Whether the window manager lists this hint in _NET_SUPPORTED.
    bool supports(const char *hint);

    // The process owning _NET_ACTIVE_WINDOW, when the window manager tells.
    std::optional<qint64> activeWindowProcess();
    // Asks the server for the root window's property changes; the
    // connection's descriptor then becomes readable when one arrives.
    int watchActiveWindow();
    // Reads what has arrived: whether _NET_ACTIVE_WINDOW changed.
    bool activeWindowChanged();
    // The managed windows of a process, bottom to top.
    QList<Window> windowsOfProcess(qint64 pid);
    // Every managed window, bottom to top, read in one round trip.
    QList<Client> clients();

    void activate(Window window, Source source = Source::application);
    // _NET_CLOSE_WINDOW: the window manager asks the window to close
    // (WM_DELETE_WINDOW), and the application may ask the user first.
    void close(Window window);
    void minimize(Window window);
    void restore(Window window);
    // Flips _NET_SHOWING_DESKTOP.
    void toggleShowingDesktop();

private:
    std::uint32_t atom(const char *name);
    QList<std::uint32_t> cardinals(Window window, std::uint32_t property, std::uint32_t type);
    QList<std::uint32_t> clientList();
    void sendToRoot(Window window, std::uint32_t messageType, std::uint32_t data0,
                    std::uint32_t data1 = 0);

    xcb_connection_t *m_connection = nullptr;
    Window m_root = 0;
    QHash<QByteArray, std::uint32_t> m_atoms;
};
