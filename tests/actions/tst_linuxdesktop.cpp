// The Linux stand-ins for the scripting host and the window steering, on the
// test's X display, with a minimal window manager played by the test and
// stand-in command-line tools on a private PATH.
#include "TestBundles.h"
#include "TestWindowManager.h"

#include "platform/LinuxApplicationServices.h"
#include "platform/LinuxScriptHost.h"
#include "platform/freedesktop/Trash.h"
#include "tests/server/FakePlatform.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using Request = TestWindowManager::Request;

class LinuxDesktopTest : public QObject {
    Q_OBJECT

    QTemporaryDir home, tools;
    QByteArray originalPath = qgetenv("PATH");
    FakeApplications apps;

    // A stand-in tool: a shell script on the private PATH.
    void writeTool(const QString &name, const QByteArray &body)
    {
        QFile file(tools.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    static bool touch(const QString &path) { return QDir().mkpath(QFileInfo(path).path()) && QFile(path).open(QIODevice::WriteOnly); }
    QByteArray readFile(const QString &name)
    {
        QFile file(home.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    // Not the script: that would empty the trash of every volume of this machine.
    static std::optional<QString> emptyHomeTrash() { return emptyTrashFolders(trashFolders({})); }

private slots:
    void initTestCase()
    {
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_DATA_HOME");
        // No bus: the real session must not be locked or shown its desktop.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    }

    // Only the stand-ins (and the shell's basics) can be found.
    void init()
    {
        QDir(tools.path()).removeRecursively();
        QDir().mkpath(tools.path());
        for (const char *basic : {"sh", "cat", "echo", "printf"})
            QFile::link(QStandardPaths::findExecutable(basic, {"/usr/bin", "/bin"}), tools.filePath(basic));
        qputenv("PATH", tools.path().toUtf8());
        apps.running.clear();
        apps.calls.clear();
    }

    void cleanup()
    {
        qputenv("PATH", originalPath);
        for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
            if (app.bundlePath.startsWith(home.path()))
                ::kill(pid_t(app.processIdentifier), SIGKILL);
    }

    // Everything under the trash goes, but nothing a link in it points to;
    // the trash follows XDG_DATA_HOME; a missing one is nothing to fail on.
    void emptiesTheTrashWithoutFollowingLinks()
    {
        const QString trash = home.path() + "/.local/share/Trash";
        QTemporaryDir outside, data;
        QVERIFY(touch(outside.filePath("keep.txt")));
        for (const char *path : {"/files/a.txt", "/files/.hidden", "/files/folder/nested/b.txt", "/info/a.txt.trashinfo", "/directorysizes"})
            QVERIFY(touch(trash + path));
        QVERIFY(QFile::link(outside.path(), trash + "/files/link-to-folder"));
        QCOMPARE(emptyHomeTrash(), std::nullopt);
        QCOMPARE(QDir(trash + "/files").entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QDir(trash + "/info").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFile::exists(trash + "/directorysizes"));
        QVERIFY(QFile::exists(outside.filePath("keep.txt")));
        QDir(trash).removeRecursively();
        QCOMPARE(emptyHomeTrash(), std::nullopt);
        QVERIFY(touch(data.path() + "/Trash/files/x"));
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        const std::optional<QString> error = emptyHomeTrash();
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(error, std::nullopt);
        QVERIFY(!QFile::exists(data.path() + "/Trash/files/x"));
    }

    // Volume through pactl, else amixer; lock through the session, else the
    // screensaver; dark mode flips the colour scheme; failures say why.
    void quickActionsUseTheDesktopsTools()
    {
        LinuxScriptHost host(apps);
        QVERIFY(host.run(Scripts::outputVolume(10)).value_or("").contains("neither pactl"));
        writeTool("pactl", "echo 'Connection refused' >&2\nexit 1\n");
        QVERIFY(host.run(Scripts::outputVolume(10)).value_or("").contains("Connection refused"));
        writeTool("pactl", "echo \"$@\" > \"$HOME/pactl-args\"\n");
        writeTool("amixer", "echo \"$@\" > \"$HOME/amixer-args\"\n");
        QCOMPARE(host.run(Scripts::outputVolume(42)), std::nullopt);
        QCOMPARE(readFile("pactl-args"), QByteArray("set-sink-volume @DEFAULT_SINK@ 42%\n"));
        QFile::remove(tools.filePath("pactl"));
        QCOMPARE(host.run(Scripts::outputVolume(0)), std::nullopt);
        QCOMPARE(readFile("amixer-args"), QByteArray("-q sset Master 0%\n"));

        // Scripts without a counterpart fail.
        for (const QString &other : {QString("tell application \"Finder\" to delete every file"),
                                     QString(Scripts::emptyTrash + " ")})
            QVERIFY2(host.run(other).has_value(), qPrintable(other));
    }

    void showDesktopAndMinimiseAskTheWindowManager()
    {
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
        wm.addClient(4242);
        wm.addClient(77);
        wm.addClient(4242);
        apps.running = {{4242, "com.example.notes", "Say \"Hi\"", {}}};
        QCOMPARE(host.run(Scripts::minimizeWindows("Say \"Hi\"")), std::nullopt);
        // Each named application is hidden: every one of its windows iconified.
        QCOMPARE(apps.calls, QStringList{"hide 4242"});
        QVERIFY(host.run(Scripts::minimizeWindows("Other")).value_or("").contains("\"Other\""));
    }

    void windowsOfRunningApplicationsAreSteered()
    {
        qputenv("PATH", originalPath);
        const QString bundle = writeTestBundle(home.path() + "/Applications", "Notes", {{"CFBundleIdentifier", "com.example.notes"}});
        qint64 pid = 0;
        QVERIFY(QProcess::startDetached(bundle + "/Contents/MacOS/run", {}, QString(), &pid));
        LinuxApplicationServices services;
        QTRY_VERIFY(runningApplicationOfProcess(pid).has_value());
        const RunningApplication app = *runningApplicationOfProcess(pid);
        QCOMPARE(services.frontmostApplication(), std::nullopt); // no window manager to ask
        TestWindowManager wm({"_NET_ACTIVE_WINDOW"});
        QVERIFY(wm.isReady());
        const std::uint32_t window = wm.addClient(pid);
        wm.setActive(window);
        QTRY_COMPARE(services.frontmostApplication(), app); // the property changes asynchronously
        wm.setActive(wm.addClient(::getpid())); // a window, but not an application's
        QTRY_COMPARE(services.frontmostApplication(), std::nullopt);
        services.hide(app);
        services.unhide(app);
        services.activate(app);
        QCOMPARE(wm.requests(3), QList<Request>({{"WM_CHANGE_STATE", window, 3}, {"map", window, 0},
                                                 {"_NET_ACTIVE_WINDOW", window, 2}}));
    }
};

QTEST_GUILESS_MAIN(LinuxDesktopTest)
#include "tst_linuxdesktop.moc"
