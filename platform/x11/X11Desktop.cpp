#include "platform/x11/X11Desktop.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {
constexpr std::uint32_t iconicState = 3;   // ICCCM WM_CHANGE_STATE
constexpr int connectAttempts = 3;
} // namespace

X11Desktop::X11Desktop()
{
    if (!std::getenv("DISPLAY"))
        return;
    int screenNumber = 0;
    xcb_connection_t *connection = nullptr;
    // A busy server now and then drops a connection during the handshake.
    for (int attempt = 0; attempt < connectAttempts && !connection; ++attempt) {
        connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            connection = nullptr;
        }
    }
    if (!connection)
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = it.data->root;
}

X11Desktop::~X11Desktop()
{
    if (!m_connection)
        return;
    // A round trip first: the server may drop requests still unread when a
    // connection closes, and the last request is usually the one that matters.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    xcb_disconnect(m_connection);
}

bool X11Desktop::isOpen() const
{
    return m_connection && !xcb_connection_has_error(m_connection);
}

std::uint32_t X11Desktop::atom(const char *name)
{
    if (const auto known = m_atoms.constFind(name); known != m_atoms.constEnd())
        return *known;
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name),
        nullptr);
    const std::uint32_t result = reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
    std::free(reply);
    if (result != XCB_ATOM_NONE)
        m_atoms.insert(name, result);
    return result;
}

namespace {
// The 32-bit values of a property reply, which it frees.
QList<std::uint32_t> takeValues(xcb_get_property_reply_t *reply)
{
    QList<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
        values = QList<std::uint32_t>(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}
} // namespace

QList<std::uint32_t> X11Desktop::cardinals(Window window, std::uint32_t property, std::uint32_t type)
{
    return takeValues(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 1 << 16), nullptr));
}

bool X11Desktop::supports(const char *hint)
{
    if (!m_connection)
        return false;
    const std::uint32_t wanted = atom(hint);
    return wanted != XCB_ATOM_NONE
        && cardinals(m_root, atom("_NET_SUPPORTED"), XCB_ATOM_ATOM).contains(wanted);
}

std::optional<qint64> X11Desktop::activeWindowProcess()
{
    if (!m_connection)
        return std::nullopt;
    const QList<std::uint32_t> active = cardinals(m_root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (active.isEmpty() || active.first() == XCB_WINDOW_NONE)
        return std::nullopt;
    const QList<std::uint32_t> pid = cardinals(active.first(), atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (pid.isEmpty())
        return std::nullopt;
    return qint64(pid.first());
}

int X11Desktop::watchActiveWindow()
{
    if (!m_connection)
        return -1;
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    atom("_NET_ACTIVE_WINDOW");
    xcb_flush(m_connection);
    return xcb_get_file_descriptor(m_connection);
}

bool X11Desktop::activeWindowChanged()
{
    bool changed = false;
    const std::uint32_t active = atom("_NET_ACTIVE_WINDOW");
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            changed |= reinterpret_cast<xcb_property_notify_event_t *>(event)->atom == active;
        std::free(event);
    }
    return changed;
}

QList<X11Desktop::Window> X11Desktop::windowsOfProcess(qint64 pid)
{
    QList<Window> result;
    if (!m_connection)
        return result;
    const std::uint32_t pidAtom = atom("_NET_WM_PID");
    for (std::uint32_t window : clientList()) {
        const QList<std::uint32_t> owner = cardinals(window, pidAtom, XCB_ATOM_CARDINAL);
        if (!owner.isEmpty() && qint64(owner.first()) == pid)
            result.append(window);
    }
    return result;
}

QList<std::uint32_t> X11Desktop::clientList()
{
    // Both asked at once: the running-app poll reads this every time.
    const xcb_get_property_cookie_t stacking = xcb_get_property(
        m_connection, 0, m_root, atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 0, 1 << 16);
    const xcb_get_property_cookie_t plain = xcb_get_property(
        m_connection, 0, m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 1 << 16);
    const QList<std::uint32_t> stacked = takeValues(xcb_get_property_reply(m_connection, stacking, nullptr));
    const QList<std::uint32_t> listed = takeValues(xcb_get_property_reply(m_connection, plain, nullptr));
    return stacked.isEmpty() ? listed : stacked;
}

QList<X11Desktop::Client> X11Desktop::clients()
{
    QList<Client> result;
    if (!isOpen())
        return result;
    const std::uint32_t pidAtom = atom("_NET_WM_PID");
    const std::uint32_t typeAtom = atom("_NET_WM_WINDOW_TYPE");
    const std::uint32_t normalType = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    struct Pending {
        Window window;
        xcb_get_property_cookie_t pid, wmClass, type;
    };
    // All requests first, then all replies: one round trip for any number of windows.
    QList<Pending> pending;
    for (Window window : clientList())
        pending.append({window, xcb_get_property(m_connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1),
                        xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
                        xcb_get_property(m_connection, 0, window, typeAtom, XCB_ATOM_ATOM, 0, 16)});
    for (const Pending &p : pending) {
        Client client;
        client.window = p.window;
        if (auto *reply = xcb_get_property_reply(m_connection, p.pid, nullptr)) {
            if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
                client.pid = *static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
            std::free(reply);
        }
        if (auto *reply = xcb_get_property_reply(m_connection, p.wmClass, nullptr)) {
            // Two NUL-terminated texts: instance, then class.
            const QList<QByteArray> names = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                                                       xcb_get_property_value_length(reply)).split('\0');
            client.instance = QString::fromLocal8Bit(names.value(0));
            client.windowClass = QString::fromLocal8Bit(names.value(1));
            std::free(reply);
        }
        if (auto *reply = xcb_get_property_reply(m_connection, p.type, nullptr)) {
            const auto *types = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
            const int count = reply->format == 32 ? xcb_get_property_value_length(reply) / 4 : 0;
            client.normal = count == 0 || types[0] == normalType;
            std::free(reply);
        }
        result.append(client);
    }
    return result;
}

void X11Desktop::sendToRoot(Window window, std::uint32_t messageType, std::uint32_t data0,
                            std::uint32_t data1)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = messageType;
    event.data.data32[0] = data0;
    event.data.data32[1] = data1;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(m_connection);
}

void X11Desktop::activate(Window window, Source source)
{
    if (m_connection)
        sendToRoot(window, atom("_NET_ACTIVE_WINDOW"), std::uint32_t(source), XCB_CURRENT_TIME);
}

void X11Desktop::close(Window window)
{
    if (m_connection)
        sendToRoot(window, atom("_NET_CLOSE_WINDOW"), XCB_CURRENT_TIME, std::uint32_t(Source::pager));
}

void X11Desktop::minimize(Window window)
{
    if (m_connection)
        sendToRoot(window, atom("WM_CHANGE_STATE"), iconicState);
}

void X11Desktop::restore(Window window)
{
    // Mapping an iconic window asks the window manager to return it to normal.
    if (!m_connection)
        return;
    xcb_map_window(m_connection, window);
    xcb_flush(m_connection);
}

void X11Desktop::toggleShowingDesktop()
{
    if (!m_connection)
        return;
    const std::uint32_t property = atom("_NET_SHOWING_DESKTOP");
    const QList<std::uint32_t> showing = cardinals(m_root, property, XCB_ATOM_CARDINAL);
    const bool nowShowing = !showing.isEmpty() && showing.first() != 0;
    sendToRoot(m_root, property, nowShowing ? 0 : 1);
}
