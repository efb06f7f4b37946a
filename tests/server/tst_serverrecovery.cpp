// A second phone taking over, and a listener that stops accepting.
#include "ServerFixture.h"
#include "TestPhone.h"

#include <QTest>

#include <sys/resource.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
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
        QVERIFY(second.waitFor(1));
        QCOMPARE(second.take().kind(), TDMessageKind::macHello);
        QVERIFY(!server->runningAppsTimer()->isActive());
        QCOMPARE(server->serverState(), ServerState::connected);

        second.send(td::IPhoneHello{server->pin()});
        QTRY_COMPARE(server->serverState(), ServerState::paired);
        QVERIFY(server->runningAppsTimer()->isActive());
    }

    // Out of file descriptors, accept fails; the server listens again 2 s
    // later with a new PIN, as after a failed creation.
    void listenerRetriesAfterAnAcceptError()
    {
        QVERIFY(startServer(1234));
        rlimit original{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &original), 0);

        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

        rlimit tight = original;
        tight.rlim_cur = rlim_t(client + 16);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
        QList<int> filler;
        for (int fd; (fd = ::dup(client)) >= 0;)
            filler << fd;
        const bool stopped = QTest::qWaitFor([this] { return server->serverState() == ServerState::stopped; });
        for (int fd : filler)
            ::close(fd);
        ::close(client);
        setrlimit(RLIMIT_NOFILE, &original);
        QVERIFY(stopped);

        server->setRandomWordSource([] { return wordFor(5678); });
        QTRY_COMPARE_WITH_TIMEOUT(server->serverState(), ServerState::advertising, 5000);
        QCOMPARE(server->pin(), QStringLiteral("5678"));
        TestPhone phone(port);
        QVERIFY(phone.waitFor(1));
        QCOMPARE(std::get<td::MacHello>(phone.take()).pin, QStringLiteral("5678"));
    }
};

QTEST_MAIN(ServerRecoveryTest)
#include "tst_serverrecovery.moc"
