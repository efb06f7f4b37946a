// App control against real processes started from test bundles in a
// temporary home.
#include "ActionFakes.h"
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
    QStringList calls;
    QList<qint64> callTimesMs;
    QElapsedTimer clock;

    RecordingApplicationServices() { clock.start(); }
    void unhide(const RunningApplication &app) override { record("unhide", app); LinuxApplicationServices::unhide(app); }
    void activate(const RunningApplication &app) override { record("activate", app); LinuxApplicationServices::activate(app); }
    void hide(const RunningApplication &app) override { record("hide", app); LinuxApplicationServices::hide(app); }
    void activateSelf() override
    {
        record("activateSelf", {});
        LinuxApplicationServices::activateSelf();
    }

private:
    void record(const char *what, const RunningApplication &app)
    {
        calls.append(app.processIdentifier ? QString("%1 %2").arg(what).arg(app.processIdentifier) : what);
        callTimesMs.append(clock.elapsed());
    }
};

QList<RunningApplication> runningFromBundles(const QString &folder)
{
    QList<RunningApplication> found;
    for (const RunningApplication &app : LinuxApplicationServices().runningApplications())
        if (app.bundlePath.startsWith(folder))
            found.append(app);
    return found;
}

} // namespace

// Processes start and end slowly on a loaded machine.
constexpr int kProcessWaitMs = 20000;

class AppControlTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString applications;
    RecordingScriptHost scripts;
    RecordedLog log;
    QuickActions quick{scripts, log.sink()};

    QList<RunningApplication> instancesOf(const QString &identifier)
    {
        QList<RunningApplication> found = runningFromBundles(home.path());
        found.removeIf([&](const RunningApplication &app) { return app.bundleIdentifier != identifier; });
        return found;
    }

    // Starts NAME.app's executable twice, or once; returns the pids in order.
    QList<qint64> start(const QString &name, int count = 1)
    {
        QList<qint64> pids(count);
        for (qint64 &pid : pids)
            QProcess::startDetached(applications + "/" + name + ".app/Contents/MacOS/run", {}, QString(), &pid);
        std::sort(pids.begin(), pids.end());
        return pids;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        applications = home.path() + "/Applications";
        writeTestBundle(applications, "Notes", {{"CFBundleIdentifier", "com.example.notes"},
                                                {"CFBundleDisplayName", "Notes Display"}, {"CFBundleName", "NotesName"}});
        writeTestBundle(applications, "Plain", {{"CFBundleIdentifier", "com.example.plain"}, {"CFBundleName", "Plain Name"}});
        writeTestBundle(applications, "Bare", {{"CFBundleIdentifier", "com.example.bare"}});
        writeTestBundle(applications, "Broken", {{"CFBundleIdentifier", "com.example.broken"}}, nullptr);
        writeTestBundle(applications, "Polite", {{"CFBundleIdentifier", "com.example.polite"}},
                        "trap 'echo TERM > \"$HOME/polite-signal\"; exit 0' TERM");
        // Sub-folders of a root are not searched, nor entries without ".app".
        makeBundle(applications + "/Utilities", "Deep.app", {{"CFBundleIdentifier", "com.example.deep"}});
        makeBundle(applications, "Odd.APP", {{"CFBundleIdentifier", "com.example.odd"}});
    }

    void init()
    {
        scripts.reset();
        log.written.clear();
    }

    // Whatever a case started is gone before the next begins.
    void cleanup()
    {
        for (const RunningApplication &app : runningFromBundles(home.path()))
            ::kill(pid_t(app.processIdentifier), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(runningFromBundles(home.path()).isEmpty(), kProcessWaitMs);
    }

    void listsProcessesRunningFromBundles()
    {
        const qint64 notes = start("Notes").first(), plain = start("Plain").first(), bare = start("Bare").first();
        QProcess outsider;
        outsider.start("sleep", {"5"});
        QVERIFY(outsider.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.bare").size(), 1, kProcessWaitMs);

        const QList<RunningApplication> all = LinuxApplicationServices().runningApplications();
        QVERIFY(std::none_of(all.begin(), all.end(), [&](auto &a) { return a.processIdentifier == outsider.processId(); }));
        const QList<RunningApplication> ours = runningFromBundles(home.path());
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

    void launchStartsOnlyOneInstance()
    {
        RecordingApplicationServices services;
        AppControl control(services, quick, log.sink());
        QCOMPARE(services.urlForApplication("com.example.notes"), applications + "/Notes.app");
        control.launchOrActivate("com.example.notes");
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.notes").size(), 1, kProcessWaitMs);
        QVERIFY(services.calls.isEmpty()); // a launch activates nothing by hand

        control.launchOrActivate("com.example.notes");
        const qint64 pid = instancesOf("com.example.notes").first().processIdentifier;
        QTRY_COMPARE(services.calls, QStringList({"activateSelf", QString("unhide %1").arg(pid),
                                                  QString("activate %1").arg(pid)}));
        QTest::qWait(200);
        QCOMPARE(instancesOf("com.example.notes").size(), 1);

        // Minimising names the running process; an app not running gets no script.
        control.minimizeWindows("com.example.plain");
        control.minimizeWindows("com.example.notes");
        QCOMPARE(scripts.ran(), QStringList{Scripts::minimizeWindows("Notes Display")});
        QVERIFY(log.lines().isEmpty());
    }

    void bringsTwoInstancesForwardInOrderAfterTheDelay()
    {
        const QList<qint64> pids = start("Plain", 2);
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.plain").size(), 2, kProcessWaitMs);
        RecordingApplicationServices services;
        AppControl control(services, quick, log.sink());
        control.launchOrActivate("com.example.plain");
        QCOMPARE(services.calls, QStringList{"activateSelf"});
        QTRY_COMPARE(services.calls.size(), 5);
        QCOMPARE(services.calls, QStringList({"activateSelf", QString("unhide %1").arg(pids[0]),
                                              QString("activate %1").arg(pids[0]), QString("unhide %1").arg(pids[1]),
                                              QString("activate %1").arg(pids[1])}));
        QVERIFY(services.callTimesMs.at(1) - services.callTimesMs.at(0) >= AppControl::activationDelayMs);
        QCOMPARE(instancesOf("com.example.plain").size(), 2);

        services.calls.clear();
        control.hideApp("com.example.plain");
        QCOMPARE(services.calls, QStringList({QString("hide %1").arg(pids[0]), QString("hide %1").arg(pids[1])}));
        // Drag-and-drop mode brings only this program forward.
        services.calls.clear();
        control.dragDropMode(false);
        QCOMPARE(services.calls, QStringList());
        control.dragDropMode(true);
        QCOMPARE(services.calls, QStringList{"activateSelf"});
    }

    void quitRequestsTerminationOfEveryInstance()
    {
        start("Polite");
        start("Plain", 2);
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.plain").size(), 2, kProcessWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.polite").size(), 1, kProcessWaitMs);

        LinuxApplicationServices services;
        AppControl control(services, quick, log.sink());
        control.quitApp("com.example.plain");
        control.quitApp("com.example.polite");
        control.quitApp("com.example.notes"); // not running: nothing
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.plain").size(), 0, kProcessWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(instancesOf("com.example.polite").size(), 0, kProcessWaitMs);
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
        AppControl control(services, quick, log.sink());
        for (const char *unknown : {"com.example.unknown", "com.example.Plain", "com.example.deep", "com.example.odd"}) {
            log.written.clear();
            control.launchOrActivate(unknown);
            QCOMPARE(log.lines(), QStringList{QString("[Launch] Cannot find: ") + unknown});
        }
        log.written.clear();
        control.launchOrActivate("com.example.broken");
        QTRY_COMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines().first().startsWith("[Launch] com.example.broken: "), qPrintable(log.lines().first()));
        QCOMPARE(instancesOf("com.example.broken").size(), 0);
    }
};

QTEST_GUILESS_MAIN(AppControlTest)
#include "tst_appcontrol.moc"
