// The command-line phone: its command parsing, and the real program against a
// real server on loopback.
#include "ServerFixture.h"

#include "protocol/MessageCodec.h"
#include "tools/phone/PhoneCommand.h"

#include <QProcess>

class PhoneTest : public QObject, ServerFixture {
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QStringList lines;  // standard output
        QString diagnostics; // standard error
    };

    // Runs tendril-phone to its end while this thread's event loop serves it.
    Run runPhone(const QStringList &arguments)
    {
        QProcess phone;
        phone.start(QStringLiteral(TENDRIL_PHONE), QStringList{QStringLiteral("--port"),
                                                               QString::number(port)} + arguments);
        Run run;
        if (!phone.waitForStarted(5000))
            return run;
        QDeadlineTimer deadline(10000);
        while (phone.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(10);
        run.exitCode = phone.exitCode();
        run.lines = QString::fromUtf8(phone.readAllStandardOutput()).split(QLatin1Char('\n'),
                                                                             Qt::SkipEmptyParts);
        run.diagnostics = QString::fromUtf8(phone.readAllStandardError());
        return run;
    }

private slots:
    void init()
    {
        setUp();
        QVERIFY(startServer(2500));
    }
    void cleanup() { tearDown(); }

    void parsesEveryKind()
    {
        // Every kind has a command whose message encodes back to that kind.
        for (int kind = 0; kind < TDMessageKindCount; ++kind) {
            const QString name = kindName(TDMessageKind(kind));
            QStringList words{name};
            for (const QStringList &arguments :
                 {QStringList{}, QStringList{QStringLiteral("x")},
                  QStringList{QStringLiteral("true")}, QStringList{QStringLiteral("0.5")},
                  QStringList{QStringLiteral("a"), QStringLiteral("b")}}) {
                if (const auto message = parsePhoneCommand(words + arguments, nullptr)) {
                    QCOMPARE(int(message->kind()), kind);
                    words.clear();
                    break;
                }
            }
            QVERIFY2(words.isEmpty(), qPrintable(name));
        }
        QCOMPARE(*encodeMessage(*parsePhoneCommand({QStringLiteral("adjustVolume"), QStringLiteral("0.25")}, nullptr)),
                 QByteArray(R"({"adjustVolume":{"delta":0.25}})"));
        QCOMPARE(*encodeMessage(*parsePhoneCommand({QStringLiteral("frontmostAppUpdate")}, nullptr)),
                 QByteArray(R"({"frontmostAppUpdate":{}})"));
    }

    void rejectsBadCommands_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::newRow("unknown") << QStringList{QStringLiteral("launch")};
        QTest::newRow("wrong case") << QStringList{QStringLiteral("Ping")};
        QTest::newRow("missing field") << QStringList{QStringLiteral("launchApp")};
        QTest::newRow("extra field") << QStringList{QStringLiteral("ping"), QStringLiteral("x")};
        QTest::newRow("not a number") << QStringList{QStringLiteral("adjustVolume"), QStringLiteral("loud")};
        QTest::newRow("not a boolean") << QStringList{QStringLiteral("dragDropMode"), QStringLiteral("1")};
    }
    void rejectsBadCommands()
    {
        QFETCH(QStringList, words);
        QString error;
        QVERIFY(!parsePhoneCommand(words, &error));
        QVERIFY(!error.isEmpty());
    }

    void greetsPairsAndSends()
    {
        fake->applications.installed[QStringLiteral("com.example.notes")] =
            QStringLiteral("/Applications/Notes.app");
        const Run run = runPhone({QStringLiteral("--pin"), QStringLiteral("2500"),
                                  QStringLiteral("--listen"), QStringLiteral("0.4"),
                                  QStringLiteral("launchApp"), QStringLiteral("com.example.notes")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.diagnostics.contains(QStringLiteral("Greeting from \"Test Desk\", PIN asked")),
                 qPrintable(run.diagnostics));
        QVERIFY(run.lines.size() >= 5);
        QCOMPARE(run.lines[0], QStringLiteral(R"({"macHello":{"pin":"2500","macName":"Test Desk"}})"));
        QCOMPARE(run.lines[1], QStringLiteral(R"({"pairingConfirmed":{}})"));
        QCOMPARE(run.lines[2], QStringLiteral(R"({"appListUpdate":{"apps":[]}})"));
        QCOMPARE(run.lines[3], QStringLiteral(R"({"runningAppsUpdate":{"bundleIDs":[]}})"));
        QCOMPARE(run.lines[4], QStringLiteral(R"({"frontmostAppUpdate":{}})"));
        QCOMPARE(fake->applications.calls, QStringList{QStringLiteral("open /Applications/Notes.app")});
    }

    void reportsARejectedPin()
    {
        const Run run = runPhone({QStringLiteral("--pin"), QStringLiteral("2501"),
                                  QStringLiteral("--listen"), QStringLiteral("0.2"),
                                  QStringLiteral("ping")});
        QCOMPARE(run.exitCode, 3);
        QVERIFY(run.lines.contains(QStringLiteral(R"({"pairingRejected":{}})")));
        QVERIFY(run.lines.contains(QStringLiteral(R"({"pong":{}})")));
    }

    void failsClearlyWithoutADesktop()
    {
        server.reset(); // nobody listens any more
        const Run run = runPhone({QStringLiteral("ping")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.diagnostics.contains(QStringLiteral("cannot connect")));

        const Run usage = runPhone({QStringLiteral("frobnicate")});
        QCOMPARE(usage.exitCode, 2);
        QVERIFY(usage.diagnostics.contains(QStringLiteral("unknown command: frobnicate")));
    }
};

QTEST_MAIN(PhoneTest)
#include "tst_phone.moc"
