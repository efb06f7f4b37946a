#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTest>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

// Just enough of a window manager for tests on a bare X server: it owns the
// root's substructure redirect, advertises the hints it is given, lists
// client windows, and records the requests sent to it.
class TestWindowManager {
public:
    struct Request {
        QString type;
        std::uint32_t window;
        std::uint32_t data0;
        friend bool operator==(const Request &, const Request &) = default;
        friend char *toString(const Request &r)
        {
            return QTest::toString(QStringLiteral("%1 %2 %3").arg(r.type).arg(r.window).arg(r.data0));
        }
    };

    explicit TestWindowManager(const QList<const char *> &supported) : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        // The previous test's manager may not be gone yet: the server drops a
        // closed connection in its own time.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
        QElapsedTimer clock;
        clock.start();
        while (!m_ready && clock.elapsed() < 3000) {
            xcb_generic_error_t *error = xcb_request_check(
                m_connection, xcb_change_window_attributes_checked(m_connection, m_root, XCB_CW_EVENT_MASK, &mask));
            m_ready = !error;
            std::free(error);
            if (!m_ready)
                QThread::msleep(20);
        }
        QList<std::uint32_t> atoms;
        for (const char *name : supported)
            atoms.append(atom(name));
        setList("_NET_SUPPORTED", XCB_ATOM_ATOM, atoms);
    }
    ~TestWindowManager()
    {
        for (const char *property : {"_NET_SUPPORTED", "_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW"})
            xcb_delete_property(m_connection, m_root, atom(property));
        for (std::uint32_t window : m_clients)
            xcb_destroy_window(m_connection, window);
        xcb_disconnect(m_connection);
    }

    bool isReady() const { return m_ready; }
    std::uint32_t root() const { return m_root; }

    std::uint32_t addClient(qint64 pid)
    {
        const std::uint32_t window = xcb_generate_id(m_connection), value = std::uint32_t(pid);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &value);
        m_clients.append(window);
        setList("_NET_CLIENT_LIST", XCB_ATOM_WINDOW, m_clients);
        return window;
    }

    // Lists another client's window as managed.
    void manage(std::uint32_t window)
    {
        m_clients.append(window);
        setList("_NET_CLIENT_LIST", XCB_ATOM_WINDOW, m_clients);
    }

    // What a window manager does on _NET_CLOSE_WINDOW: asks the client.
    void deliverDelete(std::uint32_t window)
    {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
        xcb_flush(m_connection);
    }

    void setActive(std::uint32_t window) { setList("_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {window}); }

    // The requests that arrived: waits up to three seconds for `expected`,
    // then a little longer for any surplus.
    QList<Request> requests(int expected)
    {
        QList<Request> received;
        QElapsedTimer clock;
        clock.start();
        for (qint64 until = 3000; clock.elapsed() < until;) {
            if (received.size() >= expected && until == 3000)
                until = clock.elapsed() + 100;
            xcb_generic_event_t *event = xcb_poll_for_event(m_connection);
            if (!event) {
                QThread::msleep(10);
                continue;
            }
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
                received.append({atomName(message->type), message->window, message->data.data32[0]});
            } else if ((event->response_type & 0x7f) == XCB_MAP_REQUEST) {
                received.append({QStringLiteral("map"), reinterpret_cast<xcb_map_request_event_t *>(event)->window, 0});
            }
            std::free(event);
        }
        return received;
    }

private:
    std::uint32_t atom(const char *name)
    {
        auto *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const std::uint32_t result = reply ? reply->atom : 0;
        std::free(reply);
        return result;
    }
    QString atomName(std::uint32_t value)
    {
        auto *reply = xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, value), nullptr);
        const QString name = reply ? QString::fromLatin1(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply)) : QString();
        std::free(reply);
        return name;
    }
    void setList(const char *property, std::uint32_t type, const QList<std::uint32_t> &values)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, atom(property), type, 32,
                            std::uint32_t(values.size()), values.constData());
        xcb_flush(m_connection);
    }

    xcb_connection_t *m_connection;
    std::uint32_t m_root = 0;
    bool m_ready = false;
    QList<std::uint32_t> m_clients;
};
