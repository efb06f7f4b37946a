// App control against real processes started from test bundles in a
// temporary home.
#include "TestBundles.h"

#include "platform/LinuxApplicationServices.h"
#include "server/AppControl.h"
#include "server/QuickActions.h"
#include "tests/server/FakePlatform.h"

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
    void activateSelf() override { record("activateSelf", {}); LinuxApplicationServices::activateSelf(); }

private:
    void record(const char *what, const RunningApplication &app)
    {
        calls.append(app.processIdentifier ? QString("%1 %2").arg(what).arg(app.processIdentifier) : what);
        callTimesMs.append(clock.elapsed());
    }
};

constexpr int kProcessWaitMs = 20000; // processes start and end slowly on a loaded machine

} // namespace

class AppControlTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString applications = home.path() + "/Applications";
    RecordingScripts scripts;
    RecordedLog log;
    QuickActions quick{scripts, log.sink()};

    QList<RunningApplication> ours(const QString &identifier = {})
    {
        QList<RunningApplication> found = LinuxApplicationServices().runningApplications();
        found.removeIf([&](const RunningApplication &app) {
            return !app.bundlePath.startsWith(home.path()) || (!identifier.isEmpty() && app.bundleIdentifier != identifier);
        });
        return found;
    }

    // Starts NAME.app's executable `count` times; returns the pids in order.
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
        qputenv("HOME", home.path().toUtf8());
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
        for (const RunningApplication &app : ours())
            ::kill(pid_t(app.processIdentifier), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(ours().isEmpty(), kProcessWaitMs);
    }

    // Only processes run from bundles, in pid order, named as the bundle says.
    void listsProcessesRunningFromBundles()
    {
        const qint64 notes = start("Notes").first(), plain = start("Plain").first(), bare = start("Bare").first();
        QProcess outsider;
        outsider.start("sleep", {"5"});
        QVERIFY(outsider.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(ours().size(), 3, kProcessWaitMs);
        const QList<RunningApplication> all = LinuxApplicationServices().runningApplications();
        QVERIFY(std::none_of(all.begin(), all.end(), [&](auto &a) { return a.processIdentifier == outsider.processId(); }));
        const QMap<qint64, QString> expected{{notes, "com.example.notes Notes Display /Notes.app"},
                                             {plain, "com.example.plain Plain Name /Plain.app"}, {bare, "com.example.bare Bare /Bare.app"}};
        QStringList seen, want;
        for (const RunningApplication &app : ours())
            seen.append(QString("%1 %2 %3 %4").arg(app.processIdentifier).arg(*app.bundleIdentifier, *app.localizedName,
                                                                               app.bundlePath.mid(applications.size())));
        for (auto it = expected.begin(); it != expected.end(); ++it)
            want.append(QString::number(it.key()) + " " + it.value());
        QCOMPARE(seen, want);
        QCOMPARE(LinuxApplicationServices().ownBundleIdentifier(), std::nullopt);
        outsider.kill();
        outsider.waitForFinished();
    }

    // A launch starts one instance and activates nothing by hand; asked again,
    // this program comes forward, then the app's instances in pid order after
    // the delay. Hide and minimise reach every instance.
    void launchActivateHideAndMinimise()
    {
        RecordingApplicationServices services;
        AppControl control(services, quick, log.sink());
        QCOMPARE(services.urlForApplication("com.example.notes"), applications + "/Notes.app");
        control.launchOrActivate("com.example.notes");
        QTRY_COMPARE_WITH_TIMEOUT(ours("com.example.notes").size(), 1, kProcessWaitMs);
        QVERIFY(services.calls.isEmpty());

        const QList<qint64> pids = start("Plain", 2);
        QTRY_COMPARE_WITH_TIMEOUT(ours("com.example.plain").size(), 2, kProcessWaitMs);
        control.launchOrActivate("com.example.plain");
        QCOMPARE(services.calls, QStringList{"activateSelf"});
        QTRY_COMPARE(services.calls.size(), 5);
        QCOMPARE(services.calls, QStringList({"activateSelf", QString("unhide %1").arg(pids[0]), QString("activate %1").arg(pids[0]),
                                              QString("unhide %1").arg(pids[1]), QString("activate %1").arg(pids[1])}));
        QVERIFY(services.callTimesMs.at(1) - services.callTimesMs.at(0) >= AppControl::activationDelayMs);
        QCOMPARE(ours("com.example.plain").size(), 2);
        QCOMPARE(ours("com.example.notes").size(), 1);

        services.calls.clear();
        control.hideApp("com.example.plain");
        QCOMPARE(services.calls, QStringList({QString("hide %1").arg(pids[0]), QString("hide %1").arg(pids[1])}));
        // Drag-and-drop mode brings only this program forward.
        services.calls.clear();
        control.dragDropMode(false);
        control.dragDropMode(true);
        QCOMPARE(services.calls, QStringList{"activateSelf"});
        // Minimising names the running process; an app not running gets no script.
        control.minimizeWindows("com.example.bare");
        control.minimizeWindows("com.example.notes");
        QCOMPARE(scripts.ran(), QStringList{Scripts::minimizeWindows("Notes Display")});
        QVERIFY(log.lines().isEmpty());
    }

    // Every instance gets an ordinary termination request it can handle.
    void quitRequestsTerminationOfEveryInstance()
    {
        start("Polite");
        start("Plain", 2);
        QTRY_COMPARE_WITH_TIMEOUT(ours().size(), 3, kProcessWaitMs);
        LinuxApplicationServices services;
        AppControl control(services, quick, log.sink());
        for (const char *id : {"com.example.plain", "com.example.polite", "com.example.notes"})
            control.quitApp(id);
        QTRY_COMPARE_WITH_TIMEOUT(ours().size(), 0, kProcessWaitMs);
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
        QCOMPARE(ours("com.example.broken").size(), 0);
    }
};

QTEST_GUILESS_MAIN(AppControlTest)
#include "tst_appcontrol.moc"
