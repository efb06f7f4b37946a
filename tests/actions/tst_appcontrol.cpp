// App control against real processes started from test bundles in a
// temporary home; quick actions, volume and minimise as the scripts a
// scripting platform runs, against a recording script host.
#include "platform/linux/LinuxApplicationServices.h"
#include "actions/AppControl.h"
#include "actions/QuickActions.h"
#include "tests/catalogue/CatalogueFixtures.h"
#include "tests/catalogue/DesktopFixtures.h"
#include "tests/server/FakePlatform.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include "tests/TestTime.h"

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
    // Whether this machine's session could steer windows is not the question here.
    ActionResult windowSteeringUnavailable() override { return {}; }

private:
    void record(const char *what, const RunningApplication &app)
    {
        calls.append(app.processIdentifier ? QString("%1 %2").arg(what).arg(app.processIdentifier) : what);
        callTimesMs.append(clock.elapsed());
    }
};

QString minimizeScript(const QString &quotedName)
{
    return "tell application \"System Events\"\n    tell process \"" + quotedName + "\"\n"
           "        set winList to every window\n        repeat with w in winList\n            try\n"
           "                set value of attribute \"AXMinimized\" of w to true\n            end try\n"
           "        end repeat\n    end tell\nend tell";
}

constexpr int kProcessWaitMs = 20000; // processes start and end slowly on a loaded machine

} // namespace

class AppControlTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString applications = home.path() + "/Applications";
    RecordingScripts scripts;
    RecordedLog log;
    ScriptedDesktopActions scripted{scripts};
    QuickActions quick{scripted, log.sink()};
    FakeApplications apps;

    QStringList minimize(const QString &bundleID)
    {
        scripts.reset();
        AppControl(apps, quick, log.sink()).minimizeWindows(bundleID);
        return scripts.ran();
    }

    // NAME.app whose run script runs `script`, then idles for a minute at most
    // (a crashed test leaves nothing behind long); no script when null.
    void writeBundle(const QString &name, const char *id, QVariantMap info = {}, const char *script = "")
    {
        info.insert({{"CFBundleIdentifier", id}, {"CFBundleExecutable", "run"}});
        QFile run(makeBundle(applications, name + ".app", info) + "/Contents/MacOS/run");
        if (script && QDir().mkpath(QFileInfo(run).path()) && run.open(QIODevice::WriteOnly)) {
            // One child, forked at once: a shell between fork and exec would
            // count as one more instance of the bundle for a moment.
            run.write(QByteArray("#!/bin/sh\n") + script + "\nsleep 60 &\nwait\n");
            run.setPermissions(run.permissions() | QFile::ExeOwner);
        }
    }
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
        writeBundle("Notes", "com.example.notes", {{"CFBundleDisplayName", "Notes Display"}, {"CFBundleName", "NotesName"}});
        writeBundle("Plain", "com.example.plain", {{"CFBundleName", "Plain Name"}});
        writeBundle("Bare", "com.example.bare");
        writeBundle("Broken", "com.example.broken", {}, nullptr);
        writeBundle("Polite", "com.example.polite", {}, "trap 'echo TERM > \"$HOME/polite-signal\"; exit 0' TERM");
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
        TRY_VERIFY_WITHIN(ours().isEmpty(), kProcessWaitMs);
    }

    // A launch starts one instance and activates nothing by hand. Only
    // processes run from bundles are listed, in pid order, named as the bundle
    // says. Asked again, this program comes forward, then the app's instances
    // in pid order after the delay. Hide and minimise reach every instance.
    void launchListActivateHideAndMinimise()
    {
        RecordingApplicationServices services;
        AppControl control(services, quick, log.sink());
        control.launchOrActivate("com.example.notes");
        TRY_COMPARE_WITHIN(ours("com.example.notes").size(), 1, kProcessWaitMs);
        QVERIFY(services.calls.isEmpty());

        const QList<qint64> pids = start("Plain", 2);
        const qint64 notes = ours().first().processIdentifier, bare = start("Bare").first();
        QProcess outsider;
        outsider.start("sleep", {"5"});
        QVERIFY(outsider.waitForStarted());
        TRY_COMPARE_WITHIN(ours().size(), 4, kProcessWaitMs);
        const QMap<qint64, QString> expected{{notes, "com.example.notes Notes Display /Notes.app"}, {bare, "com.example.bare Bare /Bare.app"},
                                             {pids[0], "com.example.plain Plain Name /Plain.app"}, {pids[1], "com.example.plain Plain Name /Plain.app"}};
        QStringList seen, want;
        for (const RunningApplication &app : services.runningApplications())
            if (app.bundlePath.startsWith(home.path()) || app.processIdentifier == outsider.processId())
                seen << QString("%1 %2 %3 %4").arg(app.processIdentifier).arg(app.bundleIdentifier.value_or("-"),
                                                                            app.localizedName.value_or("-"), app.bundlePath.mid(applications.size()));
        for (auto [pid, text] : expected.asKeyValueRange())
            want << QString::number(pid) + " " + text;
        QCOMPARE(seen, want);
        QCOMPARE(services.ownBundleIdentifier(), std::nullopt);
        // A running bundle's Info.plist is read again once it changed.
        writeBundle("Plain", "com.example.plain", {{"CFBundleName", "Plain Renamed"}}, nullptr);
        QCOMPARE(ours("com.example.plain").value(0).localizedName, std::optional<QString>("Plain Renamed"));
        writeBundle("Plain", "com.example.plain", {{"CFBundleName", "Plain Name"}}, nullptr);
        QCOMPARE(ours("com.example.plain").value(1).localizedName, std::optional<QString>("Plain Name"));

        control.launchOrActivate("com.example.plain");
        QCOMPARE(services.calls, QStringList{"activateSelf"});
        TRY_COMPARE(services.calls.size(), 5);
        QCOMPARE(services.calls, QStringList({"activateSelf", QString("unhide %1").arg(pids[0]), QString("activate %1").arg(pids[0]),
                                              QString("unhide %1").arg(pids[1]), QString("activate %1").arg(pids[1])}));
        QVERIFY(services.callTimesMs.at(1) - services.callTimesMs.at(0) >= AppControl::activationDelayMs);
        QCOMPARE(ours().size(), 4);

        services.calls.clear();
        control.hideApp("com.example.plain");
        control.dragDropMode(false);
        control.dragDropMode(true); // brings only this program forward
        QCOMPARE(services.calls, QStringList({QString("hide %1").arg(pids[0]), QString("hide %1").arg(pids[1]), "activateSelf"}));
        QVERIFY(log.lines().isEmpty());
    }

    // Every instance gets an ordinary termination request it can handle.
    void quitRequestsTerminationOfEveryInstance()
    {
        start("Polite");
        start("Plain", 2);
        TRY_COMPARE_WITHIN(ours().size(), 3, kProcessWaitMs);
        LinuxApplicationServices services;
        AppControl control(services, quick, log.sink());
        for (const char *id : {"com.example.plain", "com.example.polite", "com.example.notes"})
            control.quitApp(id);
        TRY_COMPARE_WITHIN(ours().size(), 0, kProcessWaitMs);
        TRY_COMPARE(readFile(home.path() + "/polite-signal"), QByteArray("TERM\n"));
        QVERIFY(log.lines().isEmpty());
    }

    void launchFailuresAreLogged()
    {
        LinuxApplicationServices services;
        AppControl control(services, quick, log.sink());
        for (const char *unknown : {"com.example.unknown", "com.example.Plain", "com.example.deep", "com.example.odd"})
            control.launchOrActivate(unknown);
        control.launchOrActivate("com.example.broken");
        TRY_COMPARE(log.lines().size(), 5);
        QCOMPARE(log.lines().mid(0, 4), QStringList({"[Launch] Cannot find: com.example.unknown", "[Launch] Cannot find: com.example.Plain",
                                                    "[Launch] Cannot find: com.example.deep", "[Launch] Cannot find: com.example.odd"}));
        QVERIFY2(log.lines().last().startsWith("[Launch] com.example.broken: "), qPrintable(log.lines().last()));
        QCOMPARE(ours("com.example.broken").size(), 0);
    }

    // Exact texts, the same each time; the volume clamped and truncated.
    void scriptTextsAreExact()
    {
        const QList<std::pair<void (QuickActions::*)() const, QString>> cases = {
            {&QuickActions::lockScreen, "tell application \"System Events\" to keystroke \"q\" using {control down, command down}"},
            {&QuickActions::emptyTrash, "tell application \"Finder\" to empty trash"},
            {&QuickActions::toggleDarkMode, "tell application \"System Events\" to tell appearance preferences "
                                            "to set dark mode to not dark mode"},
            {&QuickActions::showDesktop, "tell application \"System Events\" to key code 103"},
            {&QuickActions::missionControl, "tell application \"System Events\" to key code 160"}};
        QStringList expected;
        for (const auto &[action, script] : cases) {
            (quick.*action)();
            (quick.*action)();
            expected << script << script;
        }
        for (const auto &[delta, level] : QList<std::pair<float, int>>{{0.5f, 50}, {0.995f, 99}, {1.2f, 100}, {-0.1f, 0}}) {
            quick.setOutputVolume(delta);
            expected << QString("set volume output volume %1").arg(level);
        }
        QStringList ran = scripts.ran(); // pool threads: in any order
        ran.sort();
        expected.sort();
        QCOMPARE(ran, expected);
        QVERIFY(log.lines().isEmpty());
    }

    void eachFailureLogsOneTaggedLine()
    {
        scripts.error = QStringLiteral("the desktop refused");
        quick.lockScreen();
        quick.setOutputVolume(0.5f);
        QCOMPARE(scripts.ran().size(), 2);
        apps.running = {{10, "com.example.notes", "Notes", {}}};
        scripts.error = QStringLiteral("no windows to minimise");
        AppControl(apps, quick, log.sink()).minimizeWindows("com.example.notes");
        scripts.ran();
        QCOMPARE(log.lines(), QStringList({"[AppleScript] the desktop refused", "[AppleScript] the desktop refused",
                                           "[Minimize] no windows to minimise"}));
    }

    // A host that blocks until released: the caller must come back first.
    void scriptsRunOffTheCallingThread()
    {
        struct BlockingHost : ScriptHost {
            QSemaphore release;
            ActionResult run(const QString &) override { release.acquire(); return std::nullopt; }
        } blocking;
        ScriptedDesktopActions actions(blocking);
        QuickActions(actions, log.sink()).emptyTrash();
        blocking.release.release();
        QThreadPool::globalInstance()->waitForDone();
    }

    void minimiseNamesTheFirstInstanceOfExactlyThatIdentifier()
    {
        apps.running = {{9, std::nullopt, "No Identifier", {}}, {10, "com.example.other", "Other", {}},
                        {11, "com.example.notes", "Notes", {}}, {12, "com.example.notes", "Notes Two", {}},
                        {13, "com.example.nameless", std::nullopt, {}}, {14, "com.example.q", "Say \"Hi\" \\ Bye", {}}};
        QCOMPARE(minimize("com.example.notes"), QStringList{minimizeScript("Notes")});
        QCOMPARE(minimize("com.example.nameless"), QStringList{minimizeScript("com.example.nameless")});
        const QStringList quoted = minimize("com.example.q");
        QCOMPARE(quoted, QStringList{minimizeScript("Say \\\"Hi\\\" \\\\ Bye")});
        QVERIFY(minimize("com.example.Notes").isEmpty());
        QVERIFY(log.lines().isEmpty());
    }
};

QTEST_GUILESS_MAIN(AppControlTest)
#include "tst_appcontrol.moc"
