// Quick actions, the computer's name and the screenshot through the desktop's
// D-Bus services, each played by fake_desktop.py on a private bus that serves
// as session and system bus at once, and through stand-in tools on a private
// PATH; emptying the trash folders.
#include "PrivateBus.h"

#include "tests/catalogue/DesktopFixtures.h"
#include "tests/server/FakePlatform.h"

#include "platform/freedesktop/LinuxComputerName.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/linux/LinuxDesktopActions.h"
#include "platform/unavailable/UnavailableWindowControl.h"
#include "platform/freedesktop/PortalScreenCapture.h"
#include "platform/freedesktop/Trash.h"

#include <QDirIterator>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include "tests/TestTime.h"

class DesktopServicesTest : public QObject {
    Q_OBJECT

    QTemporaryDir work, config;
    QProcess fake;
    // A Wayland compositor that offers no window control.
    UnavailableWindowControl windows{UnavailableWindowControl::waylandReason()};
    LinuxApplicationServices apps{windows};
    LinuxDesktopActions actions{apps, windows};

    QString file(const QString &name) const { return work.filePath(name); }
    QStringList calls() { return QString::fromUtf8(readFile(file("calls"))).split('\n', Qt::SkipEmptyParts).mid(1); } // after "ready"
    // The stand-ins for `services` (space-separated), with the fake's settings in `env`.
    void serve(const QString &services, const QStringList &env = {})
    {
        fake.kill();
        fake.waitForFinished();
        QFile::remove(file("calls"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &pair : env)
            environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
        fake.setProcessEnvironment(environment);
        fake.start("/usr/bin/python3", QStringList{FAKE_DESKTOP, file("calls")} + services.split(' ', Qt::SkipEmptyParts));
        TRY_VERIFY_WITHIN(QFile::exists(file("calls")), 10000);
    }
    void writeTool(const QString &name, const QByteArray &body) { QVERIFY(writeFile(file("bin/" + name), "#!/bin/sh\n" + body, true)); }
    // What is left in a trash beside its empty files and info folders.
    static QStringList left(const QString &trash)
    {
        QStringList found;
        for (QDirIterator it(trash, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories); it.hasNext();)
            found << it.next().mid(trash.size());
        found.removeOne("/files");
        found.removeOne("/info");
        return found;
    }
    // A tmpfs at `path` (root only).
    static bool mount(const QString &path, unsigned long flags = 0)
    {
        return ::mount("tendril", qPrintable(path), "tmpfs", flags, nullptr) == 0;
    }
    static bool failsWith(const ActionResult &outcome, const QString &error)
    {
        if (error.isEmpty() ? !outcome : outcome && outcome->contains(error))
            return true;
        qWarning() << "outcome:" << outcome.failureOr("success") << "expected:" << error;
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(file("bin")) && QDir().mkpath(file("home")));
        qputenv("PATH", file("bin").toUtf8()); // only the tools a case writes
        qputenv("HOME", file("home").toUtf8());
        qunsetenv("XDG_DATA_HOME");
        // GSettings writes a key file in a configuration folder of the test's own.
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qunsetenv("DISPLAY");
    }
    void cleanupTestCase() { fake.kill(); fake.waitForFinished(); }
    void cleanup() { qunsetenv("WAYLAND_DISPLAY"); }

    // pactl, else amixer; the failures say why.
    void volumeThroughTheSoundTools()
    {
        QVERIFY(failsWith(actions.setOutputVolume(10), "neither pactl"));
        writeTool("pactl", "echo 'Connection refused' >&2\nexit 1\n");
        QVERIFY(failsWith(actions.setOutputVolume(10), "Connection refused"));
        writeTool("pactl", "echo \"$@\" >> \"$HOME/volume\"\n");
        writeTool("amixer", "echo \"$@\" >> \"$HOME/volume\"\n");
        QCOMPARE(actions.setOutputVolume(42), std::nullopt);
        QFile::remove(file("bin/pactl"));
        QCOMPARE(actions.setOutputVolume(0), std::nullopt);
        QCOMPARE(readFile(file("home/volume")), "set-sink-volume @DEFAULT_SINK@ 42%\n-q sset Master 0%\n");
    }

    // Every trash folder: the home trash and those of other volumes, mounted
    // here as tmpfs (root only), with links that must not be followed.
    void emptiesEveryTrashFolder()
    {
        QTemporaryDir data, volume, linkedVolume, outside;
        const auto unmount = qScopeGuard([&] { ::umount(qPrintable(volume.path())), ::umount(qPrintable(linkedVolume.path())); });
        const auto fill = [&](const QString &trash) {
            for (const char *path : {"/files/a.txt", "/files/.hidden", "/files/folder/nested/b.txt", "/info/a.txt.trashinfo", "/directorysizes"})
                QVERIFY(writeFile(trash + path, {}));
            QVERIFY(QFile::link(outside.filePath("keep"), trash + "/files/link"));
        };
        const QString homeTrash = file("home/.local/share/Trash"), uid = QString::number(::getuid());
        QVERIFY(writeFile(outside.filePath("keep/inside.txt"), {}) && writeFile(outside.filePath("files/victim.txt"), {}));
        QCOMPARE(emptyTrashFolders(trashFolders({})), std::nullopt); // no trash yet: nothing to fail on
        fill(homeTrash);
        QCOMPARE(emptyTrashFolders(trashFolders({})), std::nullopt);
        QCOMPARE(left(homeTrash), QStringList());
        // The home trash follows XDG_DATA_HOME.
        fill(data.path() + "/Trash");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        QCOMPARE(emptyTrashFolders(trashFolders({})), std::nullopt);
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(left(data.path() + "/Trash"), QStringList());
        QVERIFY(QFile::exists(outside.filePath("keep/inside.txt")));

        if (!mount(volume.path()) || !mount(linkedVolume.path()))
            QSKIP("needs to mount tmpfs volumes (root)");
        const QString volumeTrash = volume.path() + "/.Trash-" + uid, sharedTrash = volume.path() + "/.Trash/" + uid;
        fill(volumeTrash);
        fill(sharedTrash);
        QVERIFY(::chmod(qPrintable(volume.path() + "/.Trash"), 01777) == 0); // sticky: shared trash
        // A trash folder that is a link leads elsewhere: left alone.
        QVERIFY(QFile::link(outside.path(), linkedVolume.path() + "/.Trash-" + uid));
        QVERIFY(mountedVolumes().contains(volume.path()));
        // These volumes only: the script would empty the trash of all this machine's.
        QCOMPARE(emptyTrashFolders(trashFolders({volume.path(), linkedVolume.path()})), std::nullopt);
        QCOMPARE(left(volumeTrash) + left(sharedTrash), QStringList());
        QVERIFY(QFile::exists(outside.filePath("keep/inside.txt")) && QFile::exists(outside.filePath("files/victim.txt")));
    }

    void actionsReachTheDesktopServices_data()
    {
        QTest::addColumn<QString>("services");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("runs");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const char *services, const char *action, int runs,
                            const QStringList &expected, const char *error = "") {
            QTest::newRow(name) << QString(services) << QString(action) << runs << expected << QString(error);
        };
        row("lock: logind", "login1 screensaver", "lock", 1, {"login1 Lock"});
        row("lock: screen saver", "screensaver", "lock", 1, {"screensaver Lock"});
        row("lock: nothing", "", "lock", 1, {}, "Cannot lock the screen");
        row("overview: GNOME Shell, twice", "shell kwin", "overview", 2,
            {"shell Set OverviewActive 1", "shell Set OverviewActive 0"});
        row("overview: KWin", "kwin", "overview", 1, {"kwin invokeShortcut Overview"});
        row("overview: nothing", "", "overview", 1, {}, "Mission Control has no counterpart");
        row("show desktop: KWin", "kwin", "showDesktop", 1, {"kwin invokeShortcut Show Desktop"});
        row("show desktop: other Wayland", "shell", "showDesktop", 1, {},
            "Cannot show the desktop: this Wayland compositor offers no way");
    }
    void actionsReachTheDesktopServices()
    {
        using Action = ActionResult (DesktopActions::*)();
        const QHash<QString, Action> byName{{"lock", &DesktopActions::lockScreen}, {"overview", &DesktopActions::overview},
                                            {"showDesktop", &DesktopActions::showDesktop}};
        QFETCH(QString, services);
        QFETCH(QString, action);
        QFETCH(int, runs);
        QFETCH(QString, error);
        serve(services);
        for (int i = 0; i < runs; ++i)
            QVERIFY(failsWith((actions.*byName.value(action))(), error));
        QTEST(calls(), "expected");
    }

    void darkModeFollowsTheDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("services");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("outcome"); // the setting written, or the error
        QTest::newRow("GNOME, dark") << "ubuntu:GNOME" << "portal" << "1" << "color-scheme='default'";
        QTest::newRow("GNOME, light") << "GNOME" << "portal" << "2" << "color-scheme='prefer-dark'";
        QTest::newRow("GNOME, no portal") << "GNOME" << "" << "" << "color-scheme='default'";
        QTest::newRow("KDE, dark") << "KDE" << "portal" << "1" << "BreezeLight";
        QTest::newRow("KDE, no portal") << "KDE" << "" << "" << "Cannot read the colour scheme";
        QTest::newRow("elsewhere") << "sway" << "portal" << "1" << "offers no colour-scheme setting";
    }
    void darkModeFollowsTheDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(QString, services);
        QFETCH(QString, scheme);
        QFETCH(QString, outcome);
        serve(services, {"FAKE_SCHEME=" + scheme});
        writeTool("plasma-apply-colorscheme", "echo \"$@\" > \"$HOME/applied\"\n");
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        const ActionResult error = actions.toggleDarkMode();
        const QByteArray written = readFile(desktop.contains("GNOME") ? config.filePath("glib-2.0/settings/keyfile") : file("home/applied"));
        QVERIFY2(error ? error->contains(outcome) : written.contains(outcome.toUtf8()), qPrintable(error.failureOr("success")));
        if (scheme == "1")
            QVERIFY(calls().contains("portal Read org.freedesktop.appearance color-scheme"));
    }

    // The pretty name without control characters, else the static one; without
    // the service, the machine-info file, read afresh each time, else the host
    // name. hostnamed is never waited for: the file's name stands in until its
    // answer comes, which is announced once.
    void computerName()
    {
        QCOMPARE(LinuxComputerName(file("absent")).localizedName(), QSysInfo::machineHostName());
        LinuxComputerName local(file("machine-info")); // no hostnamed on the bus here
        for (const auto &[info, pretty] : QList<std::pair<QByteArray, QString>>{
                 {"PRETTY_HOSTNAME=\"Ada's Desk\"\n", "Ada's Desk"}, {"CHASSIS=laptop\nPRETTY_HOSTNAME=Studio\n", "Studio"},
                 {"PRETTY_HOSTNAME=\"The \\\"Big\\\" One\"", "The \"Big\" One"}, {"PRETTY_HOSTNAME=\"Zoë’s Mac\"", "Zoë’s Mac"},
                 {"CHASSIS=desktop\n", QSysInfo::machineHostName()}, {"PRETTY_HOSTNAME=\n", QSysInfo::machineHostName()}}) {
            QVERIFY(writeFile(file("machine-info"), info));
            QCOMPARE(local.localizedName(), pretty);
        }
        QVERIFY(writeFile(file("machine-info"), "PRETTY_HOSTNAME=Kitchen\n"));
        for (const auto &[services, pretty, delay, expected] : QList<std::tuple<QString, QString, QString, QString>>{
                 {"hostname1", "Ada's\tDesk\n", "0", "Ada's Desk"}, {"hostname1", "", "0", "studio"},
                 {"", "", "0", "Kitchen"}, {"hostname1", "Slow Desk", "3", "Slow Desk"}}) {
            serve(services, {"FAKE_PRETTY=" + pretty, "FAKE_STATIC=studio", "FAKE_HOSTNAME_DELAY=" + delay});
            LinuxComputerName name(file("machine-info"));
            int changes = 0;
            name.onChanged([&changes] { ++changes; });
            QCOMPARE(name.localizedName(), QString("Kitchen"));
            TRY_COMPARE_WITHIN(name.localizedName(), expected, 10'000);
            QTest::qWait(scaledMs(50));
            QCOMPARE(changes, expected == "Kitchen" ? 0 : 1);
        }
    }

    void screenshotThroughThePortal_data()
    {
        QTest::addColumn<QString>("portal"); // the fake's answer, or "" for no portal
        QTest::addColumn<QString>("target"); // what is at the target already
        QTest::addColumn<QString>("error");
        QTest::newRow("written") << "ok" << "" << "";
        QTest::newRow("a link at the target is replaced") << "ok" << "link" << "";
        QTest::newRow("read-only Desktop keeps the shot") << "ok" << "read-only" << "Cannot move";
        QTest::newRow("no answer") << "silent" << "" << "did not answer";
        QTest::newRow("missing file") << "missing" << "" << "There is no file";
        QTest::newRow("refused") << "refuse" << "" << "refused (response 1)";
        QTest::newRow("no portal on Wayland") << "" << "" << "Cannot take a screenshot";
    }
    void screenshotThroughThePortal()
    {
        QFETCH(QString, portal);
        QFETCH(QString, target);
        QFETCH(QString, error);
        QTemporaryDir shots, desktop, outside;
        serve(portal.isEmpty() ? "" : "portal", {"FAKE_PORTAL=" + portal, "FAKE_SHOTS=" + shots.path()});
        qputenv("WAYLAND_DISPLAY", "wayland-test"); // no scrot to fall back to
        const QString path = desktop.filePath("Tendril_1.png");
        if (target == "link")
            QVERIFY(QFile::link(outside.filePath("keep"), path) && QFile(outside.filePath("keep")).open(QIODevice::WriteOnly));
        if (target == "read-only" && !mount(desktop.path(), MS_RDONLY))
            QSKIP("needs to mount a read-only tmpfs (root)");

        // On a worker thread, as the server runs it.
        ActionResult outcome;
        std::unique_ptr<QThread> worker(QThread::create([&] { outcome = PortalScreenCapture(500).capture(path); }));
        worker->start();
        QVERIFY(worker->wait(10000));
        if (target == "read-only")
            ::umount(qPrintable(desktop.path()));

        QVERIFY(failsWith(outcome, error));
        QCOMPARE(QImage(path).size(), error.isEmpty() ? QSize(4, 3) : QSize(0, 0));
        QCOMPARE(QFile::exists(shots.filePath("Screenshot.png")), target == "read-only"); // moved, or kept
        QCOMPARE(QFileInfo(outside.filePath("keep")).size(), 0);
        if (!portal.isEmpty())
            QCOMPARE(calls(), QStringList{"portal Screenshot parent='' interactive=False"});
    }
};

PRIVATE_BUS_TEST_MAIN(QCoreApplication, DesktopServicesTest)
#include "tst_desktopservices.moc"
