// Which application a process belongs to, over a /proc tree the test builds
// and desktop entries in a temporary data folder read through GIO; which
// windows belong to it; and who steers windows in which session.
#include "platform/freedesktop/DesktopSession.h"
#include "platform/freedesktop/WindowReport.h"
#include "platform/kwin/KWinWindowControl.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/freedesktop/CgroupApplication.h"
#include "platform/freedesktop/DesktopEntryIndex.h"
#include "platform/freedesktop/RunningApplicationMatcher.h"
#include "platform/freedesktop/SystemdScope.h"

#include "tests/TestTime.h"
#include "tests/catalogue/DesktopFixtures.h"

#include <QDBusConnection>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <unistd.h>

// KWin's scripting as Plasma 6 offers it: script N at /Scripting/ScriptN.
class FakeKWinScripting : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")
public:
    QMutex mutex;
    QStringList loaded; // the text of each script run
public slots:
    Q_SCRIPTABLE int loadScript(const QString &path, const QString &)
    {
        QFile file(path);
        QMutexLocker lock(&mutex);
        m_pending = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        return 7;
    }
    // org.kde.kwin.Script.run, on /Scripting/Script7
    Q_SCRIPTABLE void run()
    {
        QMutexLocker lock(&mutex);
        loaded << m_pending;
    }

private:
    QString m_pending;
};

// Lists one window of this process and refuses every request about it.
class RefusingWindows : public WindowControl {
public:
    std::optional<FocusedApplication> focused() override { return std::nullopt; }
    QList<DesktopWindow> windows() override
    {
        DesktopWindow window;
        window.id = QStringLiteral("7");
        window.pid = ::getpid();
        return {window};
    }
    ActionResult activate(const QString &) override { return refused(); }
    ActionResult restore(const QStringList &) override { return refused(); }
    ActionResult minimize(const QStringList &) override { return refused(); }
    ActionResult close(const QStringList &) override { return refused(); }
    ActionResult toggleShowingDesktop() override { return refused(); }
    ActionResult toggleOverview() override { return refused(); }
    static ActionResult refused() { return QStringLiteral("the compositor refused"); }
};

class ProcessMatchingTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    void write(const QString &path, const QByteArray &content, bool executable = false)
    {
        QVERIFY(writeFile(root.filePath(path), content, executable));
    }
    // One process: its program, arguments, parent and cgroup.
    void process(qint64 pid, const QString &exe, const QByteArray &cmdline, qint64 parent, const QByteArray &cgroup)
    {
        const QString dir = QStringLiteral("proc/%1/").arg(pid);
        write(dir + "cmdline", cmdline);
        write(dir + "cgroup", cgroup);
        write(dir + "stat", QByteArray::number(pid) + " (a (b) c) S " + QByteArray::number(parent) + " 1 1 0");
        QVERIFY(QFile::link(exe, root.filePath(dir + "exe")));
    }

private slots:
    void unitNamesGiveTheDesktopId_data()
    {
        QTest::addColumn<QByteArray>("cgroup");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QByteArray>("unit"); // the path of the unit that names it; by default the whole path
        const auto row = [](const char *name, const QByteArray &cgroup, const char *id, QByteArray unit = {}) {
            if (unit.isEmpty() && *id)
                unit = cgroup.mid(cgroup.indexOf('/')).trimmed();
            QTest::newRow(name) << cgroup << QString(id) << unit;
        };
        const QByteArray user = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";
        row("GNOME scope", user + "app-gnome-org.gnome.Calculator-1234.scope\n", "org.gnome.Calculator");
        row("escaped dash", user + "app-gnome-firefox\\x2desr-77.scope", "firefox-esr");
        row("slice, inner scope", user + "app-org.gnome.Terminal.slice/vte-spawn-0a.scope", "org.gnome.Terminal",
            user.mid(3) + "app-org.gnome.Terminal.slice");
        row("KDE service", user + "app-org.kde.dolphin@abc.service", "org.kde.dolphin");
        row("Flatpak", user + "app-flatpak-org.gimp.GIMP-1234.scope", "org.gimp.GIMP");
        row("Snap", user + "snap.firefox.firefox-xyz.scope", "firefox_firefox");
        row("Snap, app with dash, uuid", user + "snap.code.code-url-0a1b2c3d-1111-2222-3333-444455556666.scope", "code_code-url");
        row("cgroup v1", "4:memory:/x\n1:name=systemd:/app-org.gnome.Calculator-9.scope\n", "org.gnome.Calculator",
            "/app-org.gnome.Calculator-9.scope");
        row("own launches", "0::/" + transientScopeName("firefox-esr", 42).toUtf8(), "firefox-esr");
        row("login session", "0::/user.slice/user-1000.slice/session-2.scope\n", "");
        row("plain service", user + "dbus.service", "");
        row("too many parts", user + "app-a-b-c-1.scope", "");
        row("container root", "0::/\n", "");
    }
    void unitNamesGiveTheDesktopId()
    {
        QFETCH(QByteArray, cgroup);
        QFETCH(QString, id);
        QFETCH(QByteArray, unit);
        const std::optional<CgroupApplication> app = applicationOfCgroup(cgroup);
        QCOMPARE(app.value_or(CgroupApplication()), (CgroupApplication{id, unit}));
    }

    void processesAreGroupedIntoInstances()
    {
        const QString editor = root.filePath("bin/editor"), tool = root.filePath("share/tool.py");
        write("bin/editor", "#!/bin/sh\n", true);
        write("share/tool.py", "#!/usr/bin/python3\n", true);
        const auto entry = [](const QString &name, const QString &more) {
            return ("[Desktop Entry]\nType=Application\nName=" + name + "\n" + more + "\n").toUtf8();
        };
        write("data/applications/org.gnome.Calculator.desktop", entry("Calculator", "Exec=true"));
        write("data/applications/org.example.Editor.desktop", entry("Editor", "Exec=" + editor + " %F"));
        write("data/applications/org.example.Tool.desktop", entry("Tool", "Exec=python3 " + tool));
        write("data/applications/org.example.Viewer.desktop", entry("Viewer", "Exec=false\nStartupWMClass=ViewerMain"));
        qputenv("XDG_DATA_HOME", root.filePath("data").toUtf8());
        qputenv("XDG_DATA_DIRS", root.filePath("none").toUtf8());

        const QByteArray calculatorUnit = "0::/user.slice/app-gnome-org.gnome.Calculator-7.scope\n";
        const QByteArray session = "0::/user.slice/session-2.scope\n";
        process(100, "/usr/bin/gnome-calculator", "gnome-calculator", 1, calculatorUnit);
        process(101, "/usr/libexec/helper", "helper", 100, calculatorUnit); // same unit, same instance
        process(200, editor, "editor", 1, session);
        process(201, editor, "editor", 200, session);      // a child of the same program
        process(300, editor, "editor", 1, session);               // a second instance
        process(400, "/usr/bin/python3.11", QByteArray("python3\0", 8) + tool.toUtf8(), 1, session);
        process(500, "/usr/bin/anything", "anything", 1, session); // named by its window only
        process(550, "/usr/bin/xwayland-app", "app", 1, session);  // named by its Wayland window's entry
        process(600, "/usr/bin/sleep", "sleep", 1, session);       // no application
        process(700, "/usr/bin/gnome-calculator", "x", 1, calculatorUnit);
        QVERIFY(::chown(QFile::encodeName(root.filePath("proc/700")).constData(), getuid() + 1, getgid()) == 0);

        ProcessTable table(root.filePath("proc"));
        const auto entries = DesktopEntryIndex::load();
        const QList<WindowOwner> windows = {{500, "viewer", "ViewerMain", {}}, {100, "other", "Other", {}},
                                            {550, "app", "ViewerMain", "org.example.Editor"}};
        const RunningSnapshot snapshot = matchRunningApplications(table, table.processes(), *entries, windows,
                                                                  [](const ProcessRecord &) { return std::nullopt; });
        QStringList found;
        for (const RunningApplication &app : snapshot.applications)
            found << QStringLiteral("%1 %2 %3").arg(app.processIdentifier).arg(*app.bundleIdentifier, *app.localizedName);
        QCOMPARE(found, QStringList({"100 org.gnome.Calculator Calculator", "200 org.example.Editor Editor",
                                     "300 org.example.Editor Editor", "400 org.example.Tool Tool",
                                     "500 org.example.Viewer Viewer", "550 org.example.Editor Editor"}));
        QCOMPARE(snapshot.instanceOf.value(101), 100);
        QCOMPARE(snapshot.instanceOf.value(201), 200);
        QVERIFY(!snapshot.instanceOf.contains(600) && !snapshot.instanceOf.contains(700));
        QCOMPARE(snapshot.applications.first().bundlePath, root.filePath("data/applications/org.gnome.Calculator.desktop"));
    }

    void windowsBelongByProcessAndEntry_data()
    {
        QTest::addColumn<QString>("desktopId");
        QTest::addColumn<QList<qint64>>("pids");
        QTest::addColumn<bool>("normalOnly");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("by process") << "" << QList<qint64>{10, 11} << false << QStringList{"a", "b", "panel"};
        QTest::newRow("application windows") << "" << QList<qint64>{10, 11} << true << QStringList{"a", "b"};
        QTest::newRow("by entry, other process") << "org.example.Editor" << QList<qint64>{99} << true << QStringList{"c"};
        QTest::newRow("class is not an entry") << "editor" << QList<qint64>{} << true << QStringList{};
        QTest::newRow("no pid never matches") << "" << QList<qint64>{0} << false << QStringList{};
    }
    void windowsBelongByProcessAndEntry()
    {
        QFETCH(QString, desktopId);
        QFETCH(QList<qint64>, pids);
        QFETCH(bool, normalOnly);
        // An XWayland window's class is its program's file name: "editor".
        const QList<DesktopWindow> windows = {{"a", 10, "", "editor", "editor", true, false},
                                              {"b", 11, "", "editor", "editor", true, true},
                                              {"panel", 10, "", "editor", "editor", false, false},
                                              {"c", 20, "org.example.Editor", "", "org.example.Editor", true, false},
                                              {"x", 0, "", "editor", "editor", true, false}};
        QTEST(windowsOf(windows, {desktopId, pids}, normalOnly), "expected");
    }

    // The compositors' reports: ids and app IDs as they come, ".desktop" cut off.
    void windowReportsAreRead_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("expected"); // "id pid desktopFile class normal minimized", then "active time"
        QTest::newRow("two windows") << QByteArray(R"({"active":"{b}","time":1700000000123,"windows":[
            {"id":"{a}","pid":10,"desktopFile":"org.example.Quiet.desktop","windowClass":"quiet","normal":true,"minimized":true},
            {"id":"{b}","pid":11,"desktopFile":"","windowClass":"python3","normal":false}]})")
            << QStringList{"{a} 10 org.example.Quiet quiet 1 1", "{b} 11  python3 0 0", "{b} 1700000000123"};
        QTest::newRow("none in front") << QByteArray(R"({"active":"","windows":[]})") << QStringList{" 0"};
        QTest::newRow("not a report") << QByteArray(R"({"active":"{a}"})") << QStringList{};
        QTest::newRow("not JSON") << QByteArray("{\"windows\":[") << QStringList{};
    }
    void windowReportsAreRead()
    {
        QFETCH(QByteArray, json);
        const std::optional<WindowReport> report = parseWindowReport(json);
        QStringList seen;
        if (report) {
            for (const DesktopWindow &w : report->windows)
                seen << QStringLiteral("%1 %2 %3 %4 %5 %6").arg(w.id).arg(w.pid).arg(w.desktopFile, w.windowClass)
                            .arg(int(w.normal)).arg(int(w.minimized));
            seen << report->active + " " + QString::number(report->timeMs);
            QCOMPARE(report->focused().has_value(), !report->active.isEmpty());
        }
        QTEST(seen, "expected");
        QCOMPARE(KWinWindowControl::scriptPaths(3), QStringList({"/3", "/Scripting/Script3"}));
    }

    // Started before KWin: the watch begins once KWin comes onto the bus.
    void kwinWatchStartsWhenKWinAppears()
    {
        KWinWindowControl control;
        QVERIFY(control.unavailable());
        QVERIFY(control.activate("1").failed());
        // KWin answers from a thread of its own while the program waits for it.
        QThread thread;
        FakeKWinScripting kwin;
        kwin.moveToThread(&thread);
        thread.start();
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-kwin");
        QVERIFY(bus.registerObject("/Scripting", &kwin, QDBusConnection::ExportScriptableSlots));
        QVERIFY(bus.registerObject("/Scripting/Script7", "org.kde.kwin.Script", &kwin, QDBusConnection::ExportScriptableSlots));
        QVERIFY(bus.registerService("org.kde.KWin"));
        TRY_VERIFY(!control.unavailable());
        {
            QMutexLocker lock(&kwin.mutex);
            QCOMPARE(kwin.loaded.size(), 1);
            QVERIFY(kwin.loaded[0].contains("windowsChanged"));
        }
        bus.unregisterService("org.kde.KWin");
        QDBusConnection::disconnectFromBus("fake-kwin");
        thread.quit();
        thread.wait();
    }

    void sessionPicksTheWindowControl_data()
    {
        using Kind = DesktopSession::WindowControl;
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<bool>("x11");
        QTest::addColumn<QStringList>("globals"); // "-" for no Wayland display
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("dataControl");
        const QStringList none{"-"};
        QTest::newRow("X11") << "x11" << "GNOME" << true << none << int(Kind::x11) << false;
        QTest::newRow("KWin by its globals") << "wayland" << "" << true
            << QStringList{"wl_seat", "org_kde_kwin_idle", "zwlr_data_control_manager_v1"} << int(Kind::kwin) << true;
        QTest::newRow("GNOME Shell by its globals") << "" << "KDE" << false << QStringList{"wl_seat", "gtk_shell1"}
            << int(Kind::gnomeShell) << false;
        QTest::newRow("sway") << "wayland" << "sway" << true << QStringList{"wl_seat", "ext_data_control_manager_v1"}
            << int(Kind::unavailable) << true;
        QTest::newRow("Wayland out of reach, KDE") << "wayland" << "KDE" << true << none << int(Kind::kwin) << false;
        QTest::newRow("Wayland out of reach, GNOME") << "wayland" << "ubuntu:GNOME" << true << none << int(Kind::gnomeShell) << false;
        QTest::newRow("Wayland out of reach, other: not XWayland") << "wayland" << "sway" << true << none << int(Kind::unavailable) << false;
        QTest::newRow("no display") << "tty" << "" << false << none << int(Kind::unavailable) << false;
    }
    void sessionPicksTheWindowControl()
    {
        QFETCH(QString, sessionType);
        QFETCH(QString, desktop);
        QFETCH(bool, x11);
        QFETCH(QStringList, globals);
        const bool wayland = globals != QStringList{"-"};
        const DesktopSession session = DesktopSession::describe(
            {sessionType, desktop, x11, wayland ? std::optional(globals) : std::nullopt});
        QTEST(int(session.windowControl), "expected");
        QTEST(session.dataControl, "dataControl");
        QCOMPARE(session.wayland, wayland);
    }

    // The phone's window requests get no answer: a refusal is logged.
    void refusedWindowRequestsAreLogged()
    {
        RefusingWindows windows;
        LinuxApplicationServices services(windows);
        const RunningApplication app{::getpid(), QStringLiteral("org.example.Windowed"), {}, {}};
        for (const auto request : {&LinuxApplicationServices::unhide, &LinuxApplicationServices::activate,
                                   &LinuxApplicationServices::hide, &LinuxApplicationServices::terminate}) {
            QTest::ignoreMessage(QtWarningMsg, "the compositor refused");
            (services.*request)(app);
        }
    }
};

QTEST_GUILESS_MAIN(ProcessMatchingTest)
#include "tst_processmatching.moc"
