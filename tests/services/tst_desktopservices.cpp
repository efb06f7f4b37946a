// Quick actions, the computer's name and the screenshot through the desktop's
// D-Bus services, each played by fake_desktop.py on a private bus that serves
// as session and system bus at once.
#include "tests/server/FakePlatform.h"

#include "platform/freedesktop/LinuxComputerName.h"
#include "platform/LinuxScriptHost.h"
#include "platform/freedesktop/PortalScreenCapture.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/mount.h>

class DesktopServicesTest : public QObject {
    Q_OBJECT

    QTemporaryDir work;
    QProcess fake;
    FakeApplications apps;

    QString file(const QString &name) const { return work.filePath(name); }
    static QString config(const QString &name) { return qEnvironmentVariable("XDG_CONFIG_HOME") + '/' + name; }
    QStringList calls()
    {
        QFile log(file("calls"));
        log.open(QIODevice::ReadOnly);
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts).mid(1); // after "ready"
    }
    // The stand-ins for `services`, with the fake's settings in `env`.
    void serve(const QStringList &services, const QStringList &env = {})
    {
        fake.kill();
        fake.waitForFinished();
        QFile::remove(file("calls"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &pair : env)
            environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
        fake.setProcessEnvironment(environment);
        fake.start("/usr/bin/python3", QStringList{FAKE_DESKTOP, file("calls")} + services);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file("calls")), 10000);
    }
    void writeTool(const QString &name, const QByteArray &body)
    {
        QFile tool(file("bin/" + name));
        QVERIFY(tool.open(QIODevice::WriteOnly) && tool.write("#!/bin/sh\n" + body) > 0);
        tool.setPermissions(tool.permissions() | QFile::ExeOwner);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(file("bin")) && QDir().mkpath(file("home")));
        qputenv("PATH", file("bin").toUtf8()); // only the tools a case writes
        qputenv("HOME", file("home").toUtf8());
    }
    void cleanupTestCase() { fake.kill(); fake.waitForFinished(); }
    void cleanup() { qunsetenv("WAYLAND_DISPLAY"); qunsetenv("DISPLAY"); }

    void scriptsReachTheDesktopServices_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("runs");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("error");
        const QString none;
        QTest::newRow("lock: logind") << QStringList{"login1", "screensaver"} << Scripts::lockScreen << 1
                                      << QStringList{"login1 Lock"} << none;
        QTest::newRow("lock: screen saver") << QStringList{"screensaver"} << Scripts::lockScreen << 1
                                            << QStringList{"screensaver Lock"} << none;
        QTest::newRow("lock: nothing") << QStringList{} << Scripts::lockScreen << 1 << QStringList{}
                                       << "Cannot lock the screen";
        QTest::newRow("overview: GNOME Shell, twice")
            << QStringList{"shell", "kwin"} << Scripts::missionControl << 2
            << QStringList{"shell Set OverviewActive 1", "shell Set OverviewActive 0"} << none;
        QTest::newRow("overview: KWin") << QStringList{"kwin"} << Scripts::missionControl << 1
                                        << QStringList{"kwin invokeShortcut Overview"} << none;
        QTest::newRow("overview: nothing") << QStringList{} << Scripts::missionControl << 1 << QStringList{}
                                           << "Mission Control has no counterpart";
        QTest::newRow("show desktop: KWin") << QStringList{"kwin"} << Scripts::showDesktop << 1
                                            << QStringList{"kwin invokeShortcut Show Desktop"} << none;
        QTest::newRow("show desktop: other Wayland") << QStringList{"shell"} << Scripts::showDesktop << 1
                                                     << QStringList{} << "this Wayland compositor offers no way";
    }
    void scriptsReachTheDesktopServices()
    {
        QFETCH(QStringList, services);
        QFETCH(QString, script);
        QFETCH(int, runs);
        QFETCH(QStringList, expected);
        QFETCH(QString, error);
        serve(services);
        qputenv("WAYLAND_DISPLAY", "wayland-test");
        LinuxScriptHost host(apps);
        for (int i = 0; i < runs; ++i) {
            const std::optional<QString> outcome = host.run(script);
            QVERIFY2(error.isEmpty() ? !outcome : outcome && outcome->contains(error),
                     qPrintable(outcome.value_or("success")));
        }
        QCOMPARE(calls(), expected);
    }

    void darkModeFollowsTheDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("outcome"); // the setting written, or the error
        QTest::newRow("GNOME, dark") << "ubuntu:GNOME" << QStringList{"portal"} << "1" << "color-scheme='default'";
        QTest::newRow("GNOME, light") << "GNOME" << QStringList{"portal"} << "2" << "color-scheme='prefer-dark'";
        QTest::newRow("GNOME, no portal") << "GNOME" << QStringList{} << "" << "color-scheme='default'";
        QTest::newRow("KDE, dark") << "KDE" << QStringList{"portal"} << "1" << "BreezeLight";
        QTest::newRow("KDE, no portal") << "KDE" << QStringList{} << "" << "Cannot read the colour scheme";
        QTest::newRow("elsewhere") << "sway" << QStringList{"portal"} << "1" << "offers no colour-scheme setting";
    }
    void darkModeFollowsTheDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(QStringList, services);
        QFETCH(QString, scheme);
        QFETCH(QString, outcome);
        serve(services, {"FAKE_SCHEME=" + scheme});
        writeTool("plasma-apply-colorscheme", "echo \"$@\" > \"$HOME/applied\"\n");
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        const std::optional<QString> error = LinuxScriptHost(apps).run(Scripts::toggleDarkMode);
        QFile written(desktop.contains("GNOME") ? config("glib-2.0/settings/keyfile") : file("home/applied"));
        written.open(QIODevice::ReadOnly);
        QVERIFY2(error ? error->contains(outcome) : written.readAll().contains(outcome.toUtf8()),
                 qPrintable(error.value_or("success")));
        if (scheme == "1")
            QVERIFY(calls().contains("portal Read org.freedesktop.appearance color-scheme"));
    }

    void computerName_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<QString>("pretty");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pretty, control characters") << QStringList{"hostname1"} << "Ada's\tDesk\n" << "Ada's Desk";
        QTest::newRow("static") << QStringList{"hostname1"} << "" << "studio";
        QTest::newRow("no service: machine-info") << QStringList{} << "" << "Kitchen";
    }
    void computerName()
    {
        QFETCH(QStringList, services);
        QFETCH(QString, pretty);
        QFETCH(QString, expected);
        serve(services, {"FAKE_PRETTY=" + pretty, "FAKE_STATIC=studio"});
        QFile info(file("machine-info"));
        QVERIFY(info.open(QIODevice::WriteOnly) && info.write("PRETTY_HOSTNAME=Kitchen\n"));
        info.close();
        QCOMPARE(LinuxComputerName(info.fileName()).localizedName(), expected);
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
        serve(portal.isEmpty() ? QStringList{} : QStringList{"portal"},
              {"FAKE_PORTAL=" + portal, "FAKE_SHOTS=" + shots.path()});
        qputenv("WAYLAND_DISPLAY", "wayland-test"); // no scrot to fall back to
        const QString path = desktop.filePath("Tendril_1.png");
        if (target == "link")
            QVERIFY(QFile::link(outside.filePath("keep"), path) && QFile(outside.filePath("keep")).open(QIODevice::WriteOnly));
        if (target == "read-only" && ::mount("tendril", qPrintable(desktop.path()), "tmpfs", MS_RDONLY, nullptr) != 0)
            QSKIP("needs to mount a read-only tmpfs (root)");

        // On a worker thread, as the server runs it.
        std::optional<QString> outcome;
        std::unique_ptr<QThread> worker(QThread::create([&] { outcome = PortalScreenCapture(500).capture(path); }));
        worker->start();
        QVERIFY(worker->wait(10000));
        if (target == "read-only")
            ::umount(qPrintable(desktop.path()));

        QVERIFY2(error.isEmpty() ? !outcome : outcome && outcome->contains(error), qPrintable(outcome.value_or("success")));
        QCOMPARE(QImage(path).size(), error.isEmpty() ? QSize(4, 3) : QSize(0, 0));
        QCOMPARE(QFile::exists(shots.filePath("Screenshot.png")), target == "read-only"); // moved, or kept
        QCOMPARE(QFileInfo(outside.filePath("keep")).size(), 0);
        if (!portal.isEmpty())
            QCOMPARE(calls(), QStringList{"portal Screenshot parent='' interactive=False"});
    }
};

int main(int argc, char **argv)
{
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForStarted() || !bus.waitForReadyRead(5000))
        qFatal("dbus-daemon did not start");
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    // GSettings writes a key file in a configuration folder of the test's own,
    // fixed before GIO first looks.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("GSETTINGS_BACKEND", "keyfile");
    int status;
    {
        QCoreApplication app(argc, argv);
        DesktopServicesTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    bus.kill();
    bus.waitForFinished();
    return status;
}

#include "tst_desktopservices.moc"
