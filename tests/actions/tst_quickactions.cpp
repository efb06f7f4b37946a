// Quick actions, volume and the minimise script, against a recording script host.
#include "server/AppControl.h"
#include "server/QuickActions.h"
#include "tests/server/FakePlatform.h"

#include <QtTest>

namespace {

QString minimizeScript(const QString &quotedName)
{
    return "tell application \"System Events\"\n    tell process \"" + quotedName + "\"\n"
           "        set winList to every window\n        repeat with w in winList\n            try\n"
           "                set value of attribute \"AXMinimized\" of w to true\n            end try\n"
           "        end repeat\n    end tell\nend tell";
}

} // namespace

class QuickActionsTest : public QObject {
    Q_OBJECT

    RecordingScripts host;
    RecordedLog log;
    FakeApplications apps;
    QuickActions actions{host, log.sink()};

    QStringList minimize(const QString &bundleID)
    {
        host.reset();
        AppControl(apps, actions, log.sink()).minimizeWindows(bundleID);
        return host.ran();
    }

private slots:
    void init()
    {
        host.reset();
        log.written.clear();
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
            (actions.*action)();
            (actions.*action)();
            expected << script << script;
        }
        for (const auto &[delta, level] : QList<std::pair<float, int>>{{0.5f, 50}, {0.995f, 99}, {1.2f, 100}, {-0.1f, 0}}) {
            actions.setOutputVolume(delta);
            expected << QString("set volume output volume %1").arg(level);
        }
        QStringList ran = host.ran(); // pool threads: in any order
        ran.sort();
        expected.sort();
        QCOMPARE(ran, expected);
        QVERIFY(log.lines().isEmpty());
        // The Linux host reads the level back from the script, and only from it.
        for (int level : {0, 7, 100})
            QCOMPARE(Scripts::outputVolumeLevel(Scripts::outputVolume(level)), level);
        for (const char *other : {"set volume output volume ", "set volume output volume 101", "set volume output volume 050",
                                  "set volume output volume -1", "set volume output volume 5 "})
            QCOMPARE(Scripts::outputVolumeLevel(other), std::nullopt);
    }

    void eachFailureLogsOneTaggedLine()
    {
        host.error = "the desktop refused";
        actions.lockScreen();
        actions.setOutputVolume(0.5f);
        QCOMPARE(host.ran().size(), 2);
        apps.running = {{10, "com.example.notes", "Notes", {}}};
        host.error = "no windows to minimise";
        AppControl(apps, actions, log.sink()).minimizeWindows("com.example.notes");
        host.ran();
        QCOMPARE(log.lines(), QStringList({"[AppleScript] the desktop refused", "[AppleScript] the desktop refused",
                                           "[Minimize] no windows to minimise"}));
    }

    // A host that blocks until released: the caller must come back first.
    void scriptsRunOffTheCallingThread()
    {
        struct BlockingHost : ScriptHost {
            QSemaphore release;
            std::optional<QString> run(const QString &) override { release.acquire(); return std::nullopt; }
        } blocking;
        QuickActions(blocking, log.sink()).emptyTrash();
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
        QCOMPARE(Scripts::minimizedProcessName(quoted.first()), QString("Say \"Hi\" \\ Bye"));
        QVERIFY(minimize("com.example.Notes").isEmpty());
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(Scripts::minimizedProcessName(Scripts::emptyTrash), std::nullopt);
        // An unescaped quote would have ended the name early.
        QCOMPARE(Scripts::minimizedProcessName(minimizeScript("A\" & \"B")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(QuickActionsTest)
#include "tst_quickactions.moc"
