// Applications on the test's X display with the test's window manager:
// launched from desktop entries, seen running and in front, hidden, shown,
// activated and asked to quit (window-less ones get SIGTERM: see the weston
// run in tests/e2e); and the scripts that ask the window manager.
#include "TestWindowManager.h"

#include "platform/LinuxApplicationServices.h"
#include "platform/LinuxScriptHost.h"
#include "tests/server/FakePlatform.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using Request = TestWindowManager::Request;

class DesktopAppsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QList<qint64> started;

    QByteArray readLog(const QString &name)
    {
        QFile file(home.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The stand-in's window, once it has written it to its log.
    std::uint32_t windowOf(const QString &log)
    {
        [&] { QTRY_VERIFY(readLog(log).startsWith("window ")); }();
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
        QDir().mkpath(home.filePath("data/applications"));
        QFile file(home.filePath("data/applications/" + id + ".desktop"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n").toUtf8());
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
        const std::optional<QString> entry = services.urlForApplication("org.example.Stubborn");
        QCOMPARE(entry, home.filePath("data/applications/org.example.Stubborn.desktop"));
        std::optional<QString> error = "no answer";
        services.openApplication(*entry, [&](std::optional<QString> e) { error = e; });
        QCOMPARE(error, std::nullopt);
        QTRY_VERIFY(running("org.example.Stubborn"));
        const std::optional<RunningApplication> app = running("org.example.Stubborn");
        QCOMPARE(app->localizedName, "Stubborn Editor");
        const std::uint32_t window = windowOf("stubborn.log");
        QCOMPARE(wm.requests(1), QList<Request>({{"map", window, 0}}));
        QCOMPARE(services.frontmostApplication(), std::nullopt);
        wm.manage(window);
        wm.setActive(window);
        QTRY_COMPARE(services.frontmostApplication(), app); // the property changes asynchronously
        wm.setActive(wm.addClient(::getpid())); // a window, but not an application's
        QTRY_COMPARE(services.frontmostApplication(), std::nullopt);

        services.hide(*app);
        services.unhide(*app);
        services.activate(*app);
        services.terminate(*app);
        QCOMPARE(wm.requests(4), QList<Request>({{"WM_CHANGE_STATE", window, 3}, {"map", window, 0},
                                                 {"_NET_ACTIVE_WINDOW", window, 2}, {"_NET_CLOSE_WINDOW", window, 0}}));
        // The window manager asks the window; the application stays to ask its user.
        wm.deliverDelete(window);
        QTRY_COMPARE(readLog("stubborn.log"), "window " + QByteArray::number(window) + "\ndelete\n");
        QTest::qWait(300);
        QVERIFY(running("org.example.Stubborn"));
        wm.deliverDelete(window); // the user agreed
        QTRY_VERIFY(!running("org.example.Stubborn"));
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
        QTRY_COMPARE(running("org.example.Stubborn").value_or(RunningApplication()).processIdentifier, pid);
    }

    // Show desktop needs the hint; minimising hides each named application.
    void showDesktopAndMinimiseAskTheWindowManager()
    {
        FakeApplications apps;
        LinuxScriptHost host(apps);
        {
            TestWindowManager wm({"_NET_ACTIVE_WINDOW"});
            QVERIFY(wm.isReady());
            QVERIFY(host.run(Scripts::showDesktop).value_or("").contains("window manager"));
        }
        TestWindowManager wm({"_NET_SHOWING_DESKTOP", "_NET_CLIENT_LIST"});
        QVERIFY(wm.isReady());
        QCOMPARE(host.run(Scripts::showDesktop), std::nullopt);
        QCOMPARE(wm.requests(1), QList<Request>({{"_NET_SHOWING_DESKTOP", wm.root(), 1}}));
        apps.running = {{4242, "com.example.notes", "Say \"Hi\"", {}}};
        QCOMPARE(host.run(Scripts::minimizeWindows("Say \"Hi\"")), std::nullopt);
        QCOMPARE(apps.calls, QStringList{"hide 4242"});
        QVERIFY(host.run(Scripts::minimizeWindows("Other")).value_or("").contains("\"Other\""));
    }
};

QTEST_GUILESS_MAIN(DesktopAppsTest)
#include "tst_desktopapps.moc"
