// Quick actions, volume and the minimise script, against a recording script host.
#include "FakeApplicationServices.h"
#include "RecordingScriptHost.h"

#include "server/AppControl.h"
#include "server/QuickActions.h"

#include <QThreadPool>
#include <QtTest>

class QuickActionsTest : public QObject {
    Q_OBJECT

private:
    // Every script started so far, after the pool has run them all.
    QStringList ranScripts()
    {
        QThreadPool::globalInstance()->waitForDone();
        return host.sources();
    }

    RecordingScriptHost host;
    RecordedLog log;

private slots:
    void init()
    {
        host.reset();
        log.clear();
    }

    void quickActionTextsAreExact_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("lockScreen") << "lockScreen"
            << QByteArray("tell application \"System Events\" to keystroke \"q\" using {control down, command down}");
        QTest::newRow("emptyTrash") << "emptyTrash" << QByteArray("tell application \"Finder\" to empty trash");
        QTest::newRow("toggleDarkMode") << "toggleDarkMode"
            << QByteArray("tell application \"System Events\" to tell appearance preferences to set dark mode to not dark mode");
        QTest::newRow("showDesktop") << "showDesktop" << QByteArray("tell application \"System Events\" to key code 103");
        QTest::newRow("missionControl") << "missionControl" << QByteArray("tell application \"System Events\" to key code 160");
    }
    void quickActionTextsAreExact()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, script);
        QuickActions actions(host, log.sink());
        const QHash<QString, void (QuickActions::*)() const> byName = {
            {"lockScreen", &QuickActions::lockScreen}, {"emptyTrash", &QuickActions::emptyTrash},
            {"toggleDarkMode", &QuickActions::toggleDarkMode}, {"showDesktop", &QuickActions::showDesktop},
            {"missionControl", &QuickActions::missionControl}};
        (actions.*byName.value(action))();
        (actions.*byName.value(action))(); // no state kept: the same script again
        QCOMPARE(ranScripts(), QStringList({QString::fromUtf8(script), QString::fromUtf8(script)}));
        QVERIFY(log.lines().isEmpty());
    }

    void volumeIsClampedAndTruncated_data()
    {
        QTest::addColumn<float>("delta");
        QTest::addColumn<QString>("script");
        QTest::newRow("half") << 0.5f << "set volume output volume 50";
        QTest::newRow("third") << 0.333f << "set volume output volume 33";
        QTest::newRow("truncated, not rounded") << 0.995f << "set volume output volume 99";
        QTest::newRow("above full") << 1.2f << "set volume output volume 100";
        QTest::newRow("full") << 1.0f << "set volume output volume 100";
        QTest::newRow("below silent") << -0.1f << "set volume output volume 0";
        QTest::newRow("silent") << 0.0f << "set volume output volume 0";
    }
    void volumeIsClampedAndTruncated()
    {
        QFETCH(float, delta);
        QFETCH(QString, script);
        QuickActions(host, log.sink()).setOutputVolume(delta);
        QCOMPARE(ranScripts(), QStringList{script});
    }

    void volumeScriptIsReadBack()
    {
        for (int level : {0, 7, 50, 100})
            QCOMPARE(Scripts::outputVolumeLevel(Scripts::outputVolume(level)), level);
        for (const char *other : {"set volume output volume ", "set volume output volume 101",
                                  "set volume output volume 050", "set volume output volume -1",
                                  "set volume output volume 5 ", "set volume output volume ５"})
            QCOMPARE(Scripts::outputVolumeLevel(QString::fromUtf8(other)), std::nullopt);
    }

    void eachFailureLogsOneTaggedLine()
    {
        host.failWith("the desktop refused");
        QuickActions actions(host, log.sink());
        actions.lockScreen();
        actions.setOutputVolume(0.5f);
        QCOMPARE(ranScripts().size(), 2);
        QCOMPARE(log.lines(), QStringList({"[AppleScript] the desktop refused",
                                           "[AppleScript] the desktop refused"}));
    }

    void scriptsRunOffTheCallingThread()
    {
        // A host that blocks until released: the caller must come back first.
        struct BlockingHost : ScriptHost {
            QSemaphore release;
            std::optional<QString> run(const QString &) override
            {
                release.acquire();
                return std::nullopt;
            }
        } blocking;
        QuickActions(blocking, log.sink()).emptyTrash();
        blocking.release.release();
        QThreadPool::globalInstance()->waitForDone();
    }
};

class MinimizeTest : public QObject {
    Q_OBJECT

    static RunningApplication app(qint64 pid, std::optional<QString> id, std::optional<QString> name)
    {
        RunningApplication a;
        a.processIdentifier = pid;
        a.bundleIdentifier = std::move(id);
        a.localizedName = std::move(name);
        return a;
    }
    static QString expectedScript(const QString &quotedName)
    {
        return "tell application \"System Events\"\n"
               "    tell process \"" + quotedName + "\"\n"
               "        set winList to every window\n"
               "        repeat with w in winList\n"
               "            try\n"
               "                set value of attribute \"AXMinimized\" of w to true\n"
               "            end try\n"
               "        end repeat\n"
               "    end tell\n"
               "end tell";
    }

    RecordingScriptHost host;
    RecordedLog log;
    FakeApplicationServices apps;

    QStringList minimize(const QString &bundleID)
    {
        QuickActions scripts(host, log.sink());
        AppControl(apps, scripts, log.sink()).minimizeWindows(bundleID);
        QThreadPool::globalInstance()->waitForDone();
        return host.sources();
    }

private slots:
    void init()
    {
        host.reset();
        log.clear();
        apps.running.clear();
    }

    void usesTheFirstInstancesName()
    {
        apps.running = {app(10, "com.example.other", "Other"), app(11, "com.example.notes", "Notes"),
                        app(12, "com.example.notes", "Notes Two")};
        QCOMPARE(minimize("com.example.notes"), QStringList{expectedScript("Notes")});
    }

    void withoutDisplayNameUsesTheIdentifier()
    {
        apps.running = {app(10, "com.example.nameless", std::nullopt)};
        QCOMPARE(minimize("com.example.nameless"), QStringList{expectedScript("com.example.nameless")});
    }

    void quotesAndBackslashesStayInsideTheQuotes()
    {
        apps.running = {app(10, "com.example.q", "Say \"Hi\" \\ Bye")};
        const QStringList scripts = minimize("com.example.q");
        QCOMPARE(scripts, QStringList{expectedScript("Say \\\"Hi\\\" \\\\ Bye")});
        QCOMPARE(Scripts::minimizedProcessName(scripts.first()), QString("Say \"Hi\" \\ Bye"));
    }

    void matchesOnlyTheExactIdentifier()
    {
        apps.running = {app(10, std::nullopt, "No Identifier"), app(11, "com.example.Notes", "Upper")};
        QVERIFY(minimize("com.example.notes").isEmpty());
        QVERIFY(log.lines().isEmpty());
    }

    void failureLogsWithTheMinimizeTag()
    {
        apps.running = {app(10, "com.example.notes", "Notes")};
        host.failWith("no windows to minimise");
        minimize("com.example.notes");
        QCOMPARE(log.lines(), QStringList{"[Minimize] no windows to minimise"});
    }

    void otherScriptsAreNotTakenForMinimise()
    {
        QCOMPARE(Scripts::minimizedProcessName(Scripts::emptyTrash), std::nullopt);
        // An unescaped quote would have ended the name early.
        QCOMPARE(Scripts::minimizedProcessName(expectedScript("A\" & \"B")), std::nullopt);
        QCOMPARE(Scripts::minimizedProcessName(expectedScript("")), QString());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    QuickActionsTest quick;
    status |= QTest::qExec(&quick, argc, argv);
    MinimizeTest minimize;
    status |= QTest::qExec(&minimize, argc, argv);
    return status;
}

#include "tst_quickactions.moc"
