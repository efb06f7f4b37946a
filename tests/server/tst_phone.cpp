// The command-line phone against a real server on loopback.
#include "ServerFixture.h"

#include <QProcess>

class PhoneTest : public QObject, ServerFixture {
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QStringList lines;   // standard output
        QString diagnostics; // standard error
    };

    // Runs tendril-phone to its end while this thread's event loop serves it.
    Run runPhone(const QStringList &arguments)
    {
        QProcess phone;
        phone.start(TENDRIL_PHONE, QStringList{"--port", QString::number(port)} + arguments);
        if (!phone.waitForStarted(5000) || !QTest::qWaitFor([&] { return phone.state() == QProcess::NotRunning; }, 10000))
            return {};
        return {phone.exitCode(), QString::fromUtf8(phone.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                QString::fromUtf8(phone.readAllStandardError())};
    }

private slots:
    void init()
    {
        setUp();
        QVERIFY(startServer(2500));
    }
    void cleanup() { tearDown(); }

    void greetsPairsAndSends()
    {
        fake->applications.installed["com.example.notes"] = "/Applications/Notes.app";
        const Run run = runPhone({"--pin", "2500", "--listen", "0.4", "launchApp", "com.example.notes"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.diagnostics.contains("Greeting from \"Test Desk\", PIN asked"), qPrintable(run.diagnostics));
        QCOMPARE(run.lines.mid(0, 5), (QStringList{R"({"macHello":{"pin":"2500","macName":"Test Desk"}})",
                                                   R"({"pairingConfirmed":{}})", R"({"appListUpdate":{"apps":[]}})",
                                                   R"({"runningAppsUpdate":{"bundleIDs":[]}})", R"({"frontmostAppUpdate":{}})"}));
        QCOMPARE(fake->applications.calls, QStringList{"open /Applications/Notes.app"});
    }

    void exitCodesTellWhatWentWrong()
    {
        const Run rejected = runPhone({"--pin", "2501", "--listen", "0.2", "ping"});
        QCOMPARE(rejected.exitCode, 3);
        QVERIFY(rejected.lines.contains(R"({"pairingRejected":{}})"));
        QVERIFY(rejected.lines.contains(R"({"pong":{}})"));
        const Run usage = runPhone({"frobnicate"});
        QCOMPARE(usage.exitCode, 2);
        QVERIFY(usage.diagnostics.contains("unknown command: frobnicate"));
        server.reset(); // nobody listens any more
        const Run alone = runPhone({"ping"});
        QCOMPARE(alone.exitCode, 1);
        QVERIFY(alone.diagnostics.contains("cannot connect"));
    }
};

QTEST_MAIN(PhoneTest)
#include "tst_phone.moc"
