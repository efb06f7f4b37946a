// Applications on the test's X display with the test's window manager:
// launched from desktop entries, seen running and in front, hidden, shown,
// activated and asked to quit (window-less ones get SIGTERM: see the weston
// run in tests/e2e); and the scripts that ask the window manager.
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/linux/LinuxDesktopActions.h"
#include "platform/x11/X11WindowControl.h"
#include "tests/TestTime.h"
#include "tests/catalogue/DesktopFixtures.h"
#include "tests/server/FakePlatform.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

// Just enough of a window manager for tests on a bare X server: it owns the
// root's substructure redirect, advertises the hints it is given, lists
// client windows, and records the requests sent to it.
class TestWindowManager {
public:
    struct Request {
        QString type;
        std::uint32_t window, data0;
        friend bool operator==(const Request &, const Request &) = default;
        friend char *toString(const Request &r) { return QTest::toString(QStringLiteral("%1 %2 %3").arg(r.type).arg(r.window).arg(r.data0)); }
    };

    explicit TestWindowManager(const QList<const char *> &supported) : c(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(c))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        // The previous test's manager may not be gone yet: the server drops a
        // closed connection in its own time.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
        for (int tries = 0; !m_ready && tries < scaledMs(3000) / 20; ++tries) {
            xcb_generic_error_t *error = xcb_request_check(c, xcb_change_window_attributes_checked(c, m_root, XCB_CW_EVENT_MASK, &mask));
            m_ready = !error;
            std::free(error);
            if (!m_ready)
                QThread::msleep(20);
        }
        QList<std::uint32_t> atoms;
        std::transform(supported.begin(), supported.end(), std::back_inserter(atoms), [this](const char *name) { return atom(name); });
        setList("_NET_SUPPORTED", XCB_ATOM_ATOM, atoms);
    }
    ~TestWindowManager()
    {
        for (const char *property : {"_NET_SUPPORTED", "_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW"})
            xcb_delete_property(c, m_root, atom(property));
        for (std::uint32_t window : m_created)
            xcb_destroy_window(c, window);
        sync(); // not left for the next test's manager to race with
        xcb_disconnect(c);
    }

    bool isReady() const { return m_ready; }
    std::uint32_t root() const { return m_root; }

    // A managed window of its own, marked as belonging to `pid`.
    std::uint32_t addClient(qint64 pid)
    {
        const std::uint32_t window = xcb_generate_id(c), value = std::uint32_t(pid);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &value);
        m_created.append(window);
        manage(window);
        return window;
    }
    void manage(std::uint32_t window)
    {
        m_clients.append(window);
        setList("_NET_CLIENT_LIST", XCB_ATOM_WINDOW, m_clients);
    }
    void setActive(std::uint32_t window) { setList("_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {window}); }

    // What a window manager does on _NET_CLOSE_WINDOW: asks the client.
    void deliverDelete(std::uint32_t window)
    {
        xcb_client_message_event_t event{.response_type = XCB_CLIENT_MESSAGE, .format = 32, .sequence = 0, .window = window, .type = atom("WM_PROTOCOLS"), .data = {}};
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
        xcb_flush(c);
    }

    // The requests that arrived: waits up to three (scaled) seconds for `expected`,
    // then a little longer for any surplus.
    QList<Request> requests(int expected)
    {
        QList<Request> received;
        QElapsedTimer clock;
        clock.start();
        const qint64 patience = scaledMs(3000);
        for (qint64 until = patience; clock.elapsed() < until;) {
            if (received.size() >= expected && until == patience)
                until = clock.elapsed() + scaledMs(100);
            xcb_generic_event_t *event = xcb_poll_for_event(c);
            if (!event) {
                QThread::msleep(10);
                continue;
            }
            const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE)
                received.append({atomName(message->type), message->window, message->data.data32[0]});
            else if ((event->response_type & 0x7f) == XCB_MAP_REQUEST)
                received.append({"map", reinterpret_cast<xcb_map_request_event_t *>(event)->window, 0});
            std::free(event);
        }
        return received;
    }

private:
    std::uint32_t atom(const char *name)
    {
        auto *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const std::uint32_t result = reply ? reply->atom : 0;
        std::free(reply);
        return result;
    }
    QString atomName(std::uint32_t value)
    {
        auto *reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, value), nullptr);
        const QString name = reply ? QString::fromLatin1(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply)) : QString();
        std::free(reply);
        return name;
    }
    void setList(const char *property, std::uint32_t type, const QList<std::uint32_t> &values)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_root, atom(property), type, 32, std::uint32_t(values.size()), values.constData());
        sync();
    }
    // A round trip: what was sent is done before another client looks
    // (a flush alone leaves the order between clients to the server).
    void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

    xcb_connection_t *c;
    std::uint32_t m_root = 0;
    bool m_ready = false;
    QList<std::uint32_t> m_clients, m_created;
};

using Request = TestWindowManager::Request;

class DesktopAppsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QList<qint64> started;

    QByteArray readLog(const QString &name) { return readFile(home.filePath(name)); }
    // The stand-in's window, once it has written it to its log.
    std::uint32_t windowOf(const QString &log)
    {
        [&] { TRY_VERIFY(readLog(log).startsWith("window ")); }();
        return readLog(log).mid(7).trimmed().toUInt();
    }
    // A copy of the stand-in application, so that each entry has its own program.
    QString program(const QString &name)
    {
        const QString path = home.filePath("bin/" + name);
        QDir().mkpath(home.filePath("bin"));
        QFile::copy(TEST_WINDOW, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return path;
    }
    void writeEntry(const QString &id, const QString &name, const QString &exec)
    {
        QVERIFY(writeFile(home.filePath("data/applications/" + id + ".desktop"),
                          ("[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n").toUtf8()));
    }
    std::optional<RunningApplication> running(const QString &id)
    {
        for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
            if (app.bundleIdentifier == id) {
                started.append(app.processIdentifier);
                return app;
            }
        return std::nullopt;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_DATA_DIRS", home.filePath("none").toUtf8());
        // No bus: the real session must not be shown its desktop.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        writeEntry("org.example.Stubborn", "Stubborn Editor", program("stubborn") + " " + home.filePath("stubborn.log"));
    }
    void cleanupTestCase()
    {
        for (qint64 pid : started)
            ::kill(pid_t(pid), SIGKILL);
    }

    void launchedEntryIsSteeredAndAskedToClose()
    {
        TestWindowManager wm({"_NET_ACTIVE_WINDOW", "_NET_CLOSE_WINDOW"});
        QVERIFY(wm.isReady());
        LinuxApplicationServices services;
        // The entries are read on a worker; the first ask may come before them.
        const QString entry = home.filePath("data/applications/org.example.Stubborn.desktop");
        TRY_COMPARE(services.urlForApplication("org.example.Stubborn"), entry);
        ActionResult error = QStringLiteral("no answer");
        std::atomic<bool> answered = false;
        services.openApplication(entry, [&](ActionResult e) { // on a worker
            error = e;
            answered = true;
        });
        TRY_VERIFY(answered);
        QCOMPARE(error, std::nullopt);
        TRY_VERIFY(running("org.example.Stubborn"));
        const std::optional<RunningApplication> app = running("org.example.Stubborn");
        QCOMPARE(app->localizedName, "Stubborn Editor");
        const std::uint32_t window = windowOf("stubborn.log");
        QCOMPARE(wm.requests(1), QList<Request>({{"map", window, 0}}));
        QCOMPARE(services.frontmostApplication(), std::nullopt);
        QSignalSpy focus(&systemWindowControl(), &WindowControl::focusChanged);
        wm.manage(window);
        wm.setActive(window);
        TRY_COMPARE(services.frontmostApplication(), app); // followed through the root's property changes
        QCOMPARE(focus.count(), 1);
        wm.setActive(wm.addClient(::getpid())); // a window, but not an application's
        TRY_COMPARE(services.frontmostApplication(), std::nullopt);

        services.hide(*app);
        services.unhide(*app);
        services.activate(*app);
        services.terminate(*app);
        QCOMPARE(wm.requests(4), QList<Request>({{"WM_CHANGE_STATE", window, 3}, {"map", window, 0},
                                                 {"_NET_ACTIVE_WINDOW", window, 2}, {"_NET_CLOSE_WINDOW", window, 0}}));
        // The window manager asks the window; the application stays to ask its user.
        wm.deliverDelete(window);
        TRY_COMPARE(readLog("stubborn.log"), "window " + QByteArray::number(window) + "\ndelete\n");
        QTest::qWait(scaledMs(300));
        QVERIFY(running("org.example.Stubborn"));
        wm.deliverDelete(window); // the user agreed
        TRY_VERIFY(!running("org.example.Stubborn"));
    }

    void windowClassNamesAProgramNoEntryRuns()
    {
        TestWindowManager wm({"_NET_ACTIVE_WINDOW"});
        QVERIFY(wm.isReady());
        qint64 pid = 0;
        QVERIFY(QProcess::startDetached(program("anonymous"), {home.filePath("anonymous.log")}, {}, &pid));
        started.append(pid);
        const std::uint32_t window = windowOf("anonymous.log");
        QVERIFY(!running("org.example.Stubborn"));
        wm.manage(window); // WM_CLASS "Stubborn"
        TRY_COMPARE(running("org.example.Stubborn").value_or(RunningApplication()).processIdentifier, pid);
    }

    // Show desktop needs the hint (KWin's shortcut is not on this bus);
    // minimising reaches the application's windows only.
    void showDesktopAndMinimiseAskTheWindowManager()
    {
        X11WindowControl windows;
        {
            TestWindowManager wm({"_NET_ACTIVE_WINDOW"});
            QVERIFY(wm.isReady());
            QVERIFY(windows.toggleShowingDesktop().failureOr({}).contains("window manager"));
        }
        TestWindowManager wm({"_NET_SHOWING_DESKTOP", "_NET_CLIENT_LIST"});
        QVERIFY(wm.isReady());
        LinuxApplicationServices services(windows);
        LinuxDesktopActions actions(services, windows);
        QCOMPARE(actions.showDesktop(), std::nullopt);
        const std::uint32_t window = wm.addClient(4242);
        wm.addClient(4243);
        QCOMPARE(actions.minimize({4242, "com.example.notes", "Notes", {}}), std::nullopt);
        QCOMPARE(actions.minimize({4244, "com.example.gone", "Gone", {}}), std::nullopt); // no windows: nothing to do
        QCOMPARE(wm.requests(2), QList<Request>({{"_NET_SHOWING_DESKTOP", wm.root(), 1}, {"WM_CHANGE_STATE", window, 3}}));
    }
};

QTEST_GUILESS_MAIN(DesktopAppsTest)
#include "tst_desktopapps.moc"
