// App control against real processes started from test bundles in a
// temporary home.
#include "RecordingScriptHost.h"
#include "TestBundles.h"

#include "platform/LinuxApplicationServices.h"
#include "server/AppControl.h"
#include "server/QuickActions.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

// The real services, with every request that steers a window recorded as
// "call pid" and the time since the recorder was made.
class RecordingApplicationServices : public LinuxApplicationServices {
public:
    struct Call {
        QString what;
        qint64 atMs;
    };
    QList<Call> calls;
    QElapsedTimer clock;

    RecordingApplicationServices() { clock.start(); }

    QStringList callNames() const
    {
        QStringList names;
        for (const Call &call : calls)
            names.append(call.what);
        return names;
    }
    void unhide(const RunningApplication &app) override { record("unhide", app); LinuxApplicationServices::unhide(app); }
    void activate(const RunningApplication &app) override { record("activate", app); LinuxApplicationServices::activate(app); }
    void hide(const RunningApplication &app) override { record("hide", app); LinuxApplicationServices::hide(app); }
    void activateSelf() override
    {
        calls.append({QStringLiteral("activateSelf"), clock.elapsed()});
        LinuxApplicationServices::activateSelf();
    }

private:
    void record(const char *what, const RunningApplication &app)
    {
        calls.append({QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(app.processIdentifier), clock.elapsed()});
    }
};

} // namespace

class AppControlTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString applications;
    RecordingScriptHost scripts;
    RecordedLog log;

    QList<RunningApplication> instancesOf(const QString &identifier)
    {
        QList<RunningApplication> found;
        for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
            if (app.bundleIdentifier == identifier)
                found.append(app);
        return found;
    }

    qint64 startDirectly(const QString &bundle)
    {
        qint64 pid = 0;
        QProcess::startDetached(bundle + "/Contents/MacOS/run", {}, QString(), &pid);
        return pid;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        applications = home.path() + "/Applications";
        TestBundle{"Notes", "com.example.notes", "Notes Display", "NotesName"}.writeTo(applications);
        TestBundle{"Plain", "com.example.plain", std::nullopt, "Plain Name"}.writeTo(applications);
        TestBundle{"Bare", "com.example.bare", std::nullopt, std::nullopt}.writeTo(applications);
        TestBundle broken{"Broken", "com.example.broken"};
        broken.writeExecutable = false;
        broken.writeTo(applications);
        TestBundle polite{"Polite", "com.example.polite"};
        polite.prelude = "trap 'echo TERM > \"$HOME/polite-signal\"; exit 0' TERM";
        polite.writeTo(applications);
    }

    void init() { log.clear(); }

    // Whatever a case started is gone before the next begins.
    void cleanup()
    {
        for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
            if (app.bundlePath.startsWith(home.path()))
                ::kill(pid_t(app.processIdentifier), SIGKILL);
        QTRY_VERIFY([this] {
            for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
                if (app.bundlePath.startsWith(home.path()))
                    return false;
            return true;
        }());
    }

    void listsProcessesRunningFromBundles()
    {
        const qint64 notes = startDirectly(applications + "/Notes.app");
        const qint64 plain = startDirectly(applications + "/Plain.app");
        const qint64 bare = startDirectly(applications + "/Bare.app");
        QProcess outsider;
        outsider.start("sleep", {"5"});
        QVERIFY(outsider.waitForStarted());
        QTRY_COMPARE(instancesOf("com.example.bare").size(), 1);

        QList<RunningApplication> ours;
        for (const RunningApplication &app : LinuxApplicationServices().runningApplications()) {
            QVERIFY(app.processIdentifier != outsider.processId());
            if (app.bundlePath.startsWith(home.path()))
                ours.append(app);
        }
        QCOMPARE(ours.size(), 3);
        QVERIFY(std::is_sorted(ours.begin(), ours.end(), [](auto &a, auto &b) {
            return a.processIdentifier < b.processIdentifier;
        }));
        auto byPid = [&](qint64 pid) {
            return *std::find_if(ours.begin(), ours.end(), [pid](auto &a) { return a.processIdentifier == pid; });
        };
        QCOMPARE(byPid(notes).bundleIdentifier, QString("com.example.notes"));
        QCOMPARE(byPid(notes).localizedName, QString("Notes Display"));
        QCOMPARE(byPid(notes).bundlePath, applications + "/Notes.app");
        QCOMPARE(byPid(plain).localizedName, QString("Plain Name"));
        QCOMPARE(byPid(bare).localizedName, QString("Bare"));
        QCOMPARE(LinuxApplicationServices().ownBundleIdentifier(), std::nullopt);
        outsider.kill();
        outsider.waitForFinished();
    }

    void findsInstalledApplicationsInTheHomeRoot()
    {
        LinuxApplicationServices services;
        QCOMPARE(services.urlForApplication("com.example.plain"), applications + "/Plain.app");
        QCOMPARE(services.urlForApplication("com.example.Plain"), std::nullopt);
        // Sub-folders of a root are not searched, nor entries without ".app".
        TestBundle{"Deep", "com.example.deep"}.writeTo(applications + "/Utilities");
        QDir().mkpath(applications + "/Odd.APP");
        QDir().rename(TestBundle{"Odd", "com.example.odd"}.writeTo(home.path()), applications + "/Odd.APP");
        QCOMPARE(services.urlForApplication("com.example.deep"), std::nullopt);
        QCOMPARE(services.urlForApplication("com.example.odd"), std::nullopt);
    }

    void launchStartsOnlyOneInstance()
    {
        RecordingApplicationServices services;
        QuickActions quick(scripts, log.sink());
        AppControl control(services, quick, log.sink());

        control.launchOrActivate("com.example.notes");
        QTRY_COMPARE(instancesOf("com.example.notes").size(), 1);
        QVERIFY(services.calls.isEmpty()); // a launch activates nothing by hand

        control.launchOrActivate("com.example.notes");
        const qint64 pid = instancesOf("com.example.notes").first().processIdentifier;
        QTRY_COMPARE(services.callNames(), QStringList({"activateSelf", QString("unhide %1").arg(pid),
                                                        QString("activate %1").arg(pid)}));
        QTest::qWait(200);
        QCOMPARE(instancesOf("com.example.notes").size(), 1);
        QVERIFY(log.lines().isEmpty());
    }

    void bringsTwoInstancesForwardInOrderAfterTheDelay()
    {
        const qint64 first = startDirectly(applications + "/Plain.app");
        const qint64 second = startDirectly(applications + "/Plain.app");
        QTRY_COMPARE(instancesOf("com.example.plain").size(), 2);
        const qint64 low = qMin(first, second), high = qMax(first, second);

        RecordingApplicationServices services;
        QuickActions quick(scripts, log.sink());
        AppControl control(services, quick, log.sink());
        control.launchOrActivate("com.example.plain");
        QCOMPARE(services.callNames(), QStringList{"activateSelf"});

        QTRY_COMPARE(services.calls.size(), 5);
        QCOMPARE(services.callNames(),
                 QStringList({"activateSelf", QString("unhide %1").arg(low), QString("activate %1").arg(low),
                              QString("unhide %1").arg(high), QString("activate %1").arg(high)}));
        QVERIFY(services.calls.at(1).atMs - services.calls.at(0).atMs >= AppControl::activationDelayMs);
        QCOMPARE(instancesOf("com.example.plain").size(), 2);
    }

    void hideAsksEveryInstance()
    {
        const qint64 first = startDirectly(applications + "/Bare.app");
        const qint64 second = startDirectly(applications + "/Bare.app");
        QTRY_COMPARE(instancesOf("com.example.bare").size(), 2);
        RecordingApplicationServices services;
        QuickActions quick(scripts, log.sink());
        AppControl(services, quick, log.sink()).hideApp("com.example.bare");
        QCOMPARE(services.callNames(), QStringList({QString("hide %1").arg(qMin(first, second)),
                                                    QString("hide %1").arg(qMax(first, second))}));
    }

    void quitRequestsTerminationOfEveryInstance()
    {
        startDirectly(applications + "/Polite.app");
        startDirectly(applications + "/Plain.app");
        startDirectly(applications + "/Plain.app");
        QTRY_COMPARE(instancesOf("com.example.plain").size(), 2);
        QTRY_COMPARE(instancesOf("com.example.polite").size(), 1);

        LinuxApplicationServices services;
        QuickActions quick(scripts, log.sink());
        AppControl control(services, quick, log.sink());
        control.quitApp("com.example.plain");
        control.quitApp("com.example.polite");
        control.quitApp("com.example.notes"); // not running: nothing
        QTRY_COMPARE(instancesOf("com.example.plain").size(), 0);
        QTRY_COMPARE(instancesOf("com.example.polite").size(), 0);
        // The application saw an ordinary termination request it could handle.
        QFile signal(home.path() + "/polite-signal");
        QTRY_VERIFY(signal.exists());
        QVERIFY(signal.open(QIODevice::ReadOnly));
        QCOMPARE(signal.readAll(), QByteArray("TERM\n"));
        QVERIFY(log.lines().isEmpty());
    }

    void launchFailuresAreLogged()
    {
        LinuxApplicationServices services;
        QuickActions quick(scripts, log.sink());
        AppControl control(services, quick, log.sink());
        control.launchOrActivate("com.example.unknown");
        QCOMPARE(log.lines(), QStringList{"[Launch] Cannot find: com.example.unknown"});

        log.clear();
        control.launchOrActivate("com.example.broken");
        QTRY_COMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines().first().startsWith("[Launch] com.example.broken: "), qPrintable(log.lines().first()));
        QCOMPARE(instancesOf("com.example.broken").size(), 0);
    }

    void dragDropModeBringsOnlyThisProgramForward()
    {
        RecordingApplicationServices services;
        QuickActions quick(scripts, log.sink());
        AppControl control(services, quick, log.sink());
        control.dragDropMode(false);
        QCOMPARE(services.callNames(), QStringList());
        control.dragDropMode(true);
        QCOMPARE(services.callNames(), QStringList{"activateSelf"});
    }

    void minimiseNamesTheRunningProcess()
    {
        startDirectly(applications + "/Notes.app");
        QTRY_COMPARE(instancesOf("com.example.notes").size(), 1);
        LinuxApplicationServices services;
        scripts.reset();
        QuickActions quick(scripts, log.sink());
        AppControl control(services, quick, log.sink());
        control.minimizeWindows("com.example.plain"); // not running: no script
        control.minimizeWindows("com.example.notes");
        QThreadPool::globalInstance()->waitForDone();
        QCOMPARE(scripts.sources(), QStringList{Scripts::minimizeWindows("Notes Display")});
    }
};

QTEST_GUILESS_MAIN(AppControlTest)
#include "tst_appcontrol.moc"
