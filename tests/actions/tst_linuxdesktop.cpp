// The Linux stand-ins for the scripting host and the window steering, on the
// test's X display, with a minimal window manager played by the test and
// stand-in command-line tools on a private PATH.
#include "ActionFakes.h"
#include "TestBundles.h"
#include "TestWindowManager.h"

#include "platform/LinuxApplicationServices.h"
#include "platform/LinuxScriptHost.h"
#include "platform/freedesktop/Trash.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using Request = TestWindowManager::Request;

class LinuxDesktopTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QTemporaryDir tools;
    QByteArray originalPath;
    FakeApplicationServices apps;

    // A stand-in tool: a shell script on the private PATH.
    void writeTool(const QString &name, const QByteArray &body)
    {
        QFile file(tools.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    static bool touch(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).path());
        return QFile(path).open(QIODevice::WriteOnly);
    }
    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QString trash() const { return home.path() + "/.local/share/Trash"; }
    // Not the script: that would empty the trash of every volume of this machine.
    static std::optional<QString> emptyHomeTrash() { return emptyTrashFolders(trashFolders({})); }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid() && tools.isValid());
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_DATA_HOME");
        // No bus: the real session must not be locked or shown its desktop.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        originalPath = qgetenv("PATH");
    }

    void init()
    {
        // Only the stand-ins (and the shell's basics) can be found.
        QDir(tools.path()).removeRecursively();
        QDir().mkpath(tools.path());
        for (const char *basic : {"sh", "cat", "echo", "printf"})
            QFile::link(QStandardPaths::findExecutable(basic, {"/usr/bin", "/bin"}), tools.filePath(basic));
        qputenv("PATH", tools.path().toUtf8());
        apps.running.clear();
    }

    void cleanup()
    {
        qputenv("PATH", originalPath);
        for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
            if (app.bundlePath.startsWith(home.path()))
                ::kill(pid_t(app.processIdentifier), SIGKILL);
    }

    void emptiesTheTrashWithoutFollowingLinks()
    {
        QTemporaryDir outside;
        QVERIFY(touch(outside.filePath("keep.txt")));
        for (const char *path : {"/files/a.txt", "/files/.hidden", "/files/folder/nested/b.txt",
                                 "/info/a.txt.trashinfo", "/directorysizes"})
            QVERIFY(touch(trash() + path));
        QVERIFY(QFile::link(outside.path(), trash() + "/files/link-to-folder"));

        LinuxScriptHost host(apps);
        QCOMPARE(emptyHomeTrash(), std::nullopt);
        QCOMPARE(QDir(trash() + "/files").entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
        QCOMPARE(QDir(trash() + "/info").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFile::exists(trash() + "/directorysizes"));
        QVERIFY(QFile::exists(outside.filePath("keep.txt")));

        // An empty or missing trash is nothing to fail on.
        QDir(trash()).removeRecursively();
        QCOMPARE(emptyHomeTrash(), std::nullopt);

        // The trash follows XDG_DATA_HOME.
        QTemporaryDir data;
        QVERIFY(touch(data.path() + "/Trash/files/x"));
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        const std::optional<QString> error = emptyHomeTrash();
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(error, std::nullopt);
        QVERIFY(!QFile::exists(data.path() + "/Trash/files/x"));
    }

    void volumeGoesToTheDefaultSink()
    {
        LinuxScriptHost host(apps);
        const std::optional<QString> missing = host.run(Scripts::outputVolume(10));
        QVERIFY(missing && missing->contains("neither pactl"));
        writeTool("pactl", "echo 'Connection refused' >&2\nexit 1\n");
        const std::optional<QString> refused = host.run(Scripts::outputVolume(10));
        QVERIFY2(refused && refused->contains("Connection refused"), qPrintable(refused.value_or("none")));

        writeTool("pactl", "echo \"$@\" > \"$HOME/pactl-args\"\n");
        writeTool("amixer", "echo \"$@\" > \"$HOME/amixer-args\"\n");
        QCOMPARE(host.run(Scripts::outputVolume(42)), std::nullopt);
        QCOMPARE(readFile(home.filePath("pactl-args")), QByteArray("set-sink-volume @DEFAULT_SINK@ 42%\n"));
        QFile::remove(tools.filePath("pactl"));
        QCOMPARE(host.run(Scripts::outputVolume(0)), std::nullopt);
        QCOMPARE(readFile(home.filePath("amixer-args")), QByteArray("-q sset Master 0%\n"));
    }

    void scriptsWithoutCounterpartFail()
    {
        LinuxScriptHost host(apps);
        QVERIFY(host.run(Scripts::missionControl).has_value());
        QVERIFY(host.run("tell application \"Finder\" to delete every file").has_value());
        QVERIFY(host.run(Scripts::emptyTrash + " ").has_value());
    }

    void showDesktopAsksTheWindowManager()
    {
        LinuxScriptHost host(apps);
        {
            TestWindowManager wm({"_NET_ACTIVE_WINDOW"});
            QVERIFY(wm.isReady());
            const std::optional<QString> error = host.run(Scripts::showDesktop);
            QVERIFY(error && error->contains("window manager"));
        }
        TestWindowManager wm({"_NET_SHOWING_DESKTOP"});
        QVERIFY(wm.isReady());
        QCOMPARE(host.run(Scripts::showDesktop), std::nullopt);
        QCOMPARE(wm.requests(1), QList<Request>({{"_NET_SHOWING_DESKTOP", wm.root(), 1}}));
    }

    void minimiseAsksForEveryWindowOfTheNamedProcess()
    {
        TestWindowManager wm({"_NET_CLIENT_LIST"});
        QVERIFY(wm.isReady());
        const std::uint32_t first = wm.addClient(4242);
        wm.addClient(77);
        const std::uint32_t second = wm.addClient(4242);
        apps.running = {{4242, "com.example.notes", "Say \"Hi\"", {}}};

        LinuxScriptHost host(apps);
        QCOMPARE(host.run(Scripts::minimizeWindows("Say \"Hi\"")), std::nullopt);
        // Iconic (3) for each of the process's windows.
        QCOMPARE(wm.requests(2), QList<Request>({{"WM_CHANGE_STATE", first, 3}, {"WM_CHANGE_STATE", second, 3}}));
        const std::optional<QString> error = host.run(Scripts::minimizeWindows("Other"));
        QVERIFY(error && error->contains("\"Other\""));
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
        QCOMPARE(services.frontmostApplication(), app);
        wm.setActive(wm.addClient(::getpid())); // a window, but not an application's
        QCOMPARE(services.frontmostApplication(), std::nullopt);

        services.hide(app);
        services.unhide(app);
        services.activate(app);
        QCOMPARE(wm.requests(3), QList<Request>({{"WM_CHANGE_STATE", window, 3}, {"map", window, 0},
                                                 {"_NET_ACTIVE_WINDOW", window, 1}}));
    }
};

QTEST_GUILESS_MAIN(LinuxDesktopTest)
#include "tst_linuxdesktop.moc"
