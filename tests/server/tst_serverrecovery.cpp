// A second phone taking over, and a listener that stops accepting.
#include "ServerFixture.h"
#include "TestPhone.h"

#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

class ServerRecoveryTest : public QObject, ServerFixture {
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void takeoverStopsRunningAppUpdatesUntilTheNewPhonePairs()
    {
        QVERIFY(startServer(1234));
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

    // Out of file descriptors, accept fails; 2 s later the server listens
    // again with a new PIN.
    void listenerRetriesAfterAnAcceptError()
    {
        QVERIFY(startServer(1234));
        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        QCOMPARE(::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        rlimit original{}, tight{};
        getrlimit(RLIMIT_NOFILE, &original);
        tight = {rlim_t(client + 16), original.rlim_max};
        setrlimit(RLIMIT_NOFILE, &tight);
        QList<int> filler{client};
        for (int fd; (fd = ::dup(client)) >= 0;)
            filler << fd;
        const bool stopped = QTest::qWaitFor([&] { return server->serverState() == ServerState::stopped; });
        for (int fd : filler)
            ::close(fd);
        setrlimit(RLIMIT_NOFILE, &original);
        QVERIFY(stopped);
        server->setRandomWordSource([] { return wordFor(5678); });
        QTRY_COMPARE_WITH_TIMEOUT(server->serverState(), ServerState::advertising, 5000);
        TestPhone phone(port);
        QVERIFY(phone.waitFor(1));
        QCOMPARE(std::get<td::MacHello>(phone.take()).pin, QStringLiteral("5678"));
    }
};

QTEST_MAIN(ServerRecoveryTest)
#include "tst_serverrecovery.moc"
