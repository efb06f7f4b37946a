// A second phone taking over, a listener that fails after it was ready, and
// a message longer than the phone reads.
#include "ServerFixture.h"
#include "TestPhone.h"

class ServerRecoveryTest : public QObject, ServerFixture {
    Q_OBJECT

private slots:
    void init()
    {
        setUp();
        QVERIFY(startServer(1234));
    }
    void cleanup() { tearDown(); }

    void takeoverStopsRunningAppUpdatesUntilTheNewPhonePairs()
    {
        TestPhone first(port);
        QVERIFY(first.waitFor(1));
        first.send(td::IPhoneHello{server->pin()});
        QTRY_VERIFY(server->runningAppsTimer() && server->runningAppsTimer()->isActive());
        QCOMPARE(server->runningAppsTimer()->timerType(), Qt::PreciseTimer);
        QCOMPARE(server->pingTimer()->timerType(), Qt::PreciseTimer);
        TestPhone second(port);
        QVERIFY(second.waitFor(1)); // taken over
        QVERIFY(!server->runningAppsTimer()->isActive());
        second.send(td::IPhoneHello{server->pin()});
        QTRY_VERIFY(server->runningAppsTimer()->isActive());
    }

    // Out of file descriptors, say: 2 s later it listens again, new PIN.
    void listenerRetriesAfterFailing()
    {
        server->listener()->stateChanged(TcpListener::State::failed, QStringLiteral("EMFILE"));
        QTRY_COMPARE(server->serverState(), ServerState::stopped);
        server->setRandomWordSource([] { return wordFor(5678); });
        QTRY_COMPARE_WITH_TIMEOUT(server->serverState(), ServerState::advertising, 5000);
        TestPhone phone(port);
        QVERIFY(phone.waitFor(1));
        QCOMPARE(std::get<td::MacHello>(phone.take()).pin, QStringLiteral("5678"));
    }

    void messagesOverTheFrameLimitAreNotSent()
    {
        QTcpSocket raw; // bytes as they come, before any frame is cut
        raw.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(QTest::qWaitFor([&] { return server->isConnected() && raw.bytesAvailable() > 0; }));
        raw.readAll(); // macHello
        server->send(td::LaunchApp{QString(10'000'000, QLatin1Char('x'))});
        server->send(td::Ping{});
        const QByteArray ping = *makeFrame(*encodeMessage(td::Ping{}));
        QByteArray bytes;
        QVERIFY(QTest::qWaitFor([&] { return (bytes += raw.readAll()).size() >= ping.size(); }));
        QCOMPARE(bytes, ping);
    }
};

QTEST_MAIN(ServerRecoveryTest)
#include "tst_serverrecovery.moc"
