#include "ServerFixture.h"
#include "TestPhone.h"

#include "server/Pin.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>


class ServerTest : public QObject, ServerFixture {
    Q_OBJECT

    void startServer(quint64 pinValue = 4321) { QVERIFY(ServerFixture::startServer(pinValue)); }

    std::unique_ptr<TestPhone> connectPhone()
    {
        auto phone = std::make_unique<TestPhone>(port);
        if (!phone->waitConnected() || !phone->waitFor(1))
            return nullptr;
        return phone;
    }

    // Connects and pairs; leaves the phone's queue empty.
    std::unique_ptr<TestPhone> pairedPhone()
    {
        auto phone = connectPhone();
        if (!phone)
            return nullptr;
        phone->take(); // macHello
        phone->send(td::IPhoneHello{server->pin()});
        // pairingConfirmed, appListUpdate, then runningApps + frontmost 0.1 s later
        if (!phone->waitFor(4))
            return nullptr;
        phone->received.clear();
        return phone;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void pinDrawsAreUniformAndFourDigits()
    {
        QCOMPARE(drawPin([] { return wordFor(0); }), QStringLiteral("0000"));
        QCOMPARE(drawPin([] { return wordFor(42); }), QStringLiteral("0042"));
        QCOMPARE(drawPin([] { return wordFor(999); }), QStringLiteral("0999"));
        QCOMPARE(drawPin([] { return ~quint64(0); }), QStringLiteral("9999"));

        // Words whose low product half falls below 2^64 mod 10000 are redrawn.
        QList<quint64> words = {0, 1, wordFor(7)};
        int drawn = 0;
        QCOMPARE(drawPin([&] { return words[drawn++]; }), QStringLiteral("0000"));
        QCOMPARE(drawn, 2);

        const QRegularExpression fourDigits(QStringLiteral("^[0-9]{4}$"));
        for (int i = 0; i < 200; ++i)
            QVERIFY(fourDigits.match(drawPin()).hasMatch());
    }

    void constructionStartsNothing()
    {
        QCOMPARE(server->serverState(), ServerState::stopped);
        QVERIFY(server->pin().isEmpty());
        QVERIFY(!server->listener());
        QVERIFY(fake->advertiser.calls.isEmpty());
    }

    void listensAdvertisesAndGreets()
    {
        startServer(7);
        QCOMPARE(server->pin(), QStringLiteral("0007"));
        QCOMPARE(fake->advertiser.calls,
                 QStringList{QStringLiteral("advertise Test Desk _tendril._tcp local. %1").arg(port)});

        auto phone = connectPhone();
        QVERIFY(phone);
        const TDMessage hello = phone->take();
        QVERIFY(hello.is<td::MacHello>());
        QCOMPARE(hello.get<td::MacHello>()->pin, QStringLiteral("0007"));
        QCOMPARE(hello.get<td::MacHello>()->macName, QStringLiteral("Test Desk"));
        QCOMPARE(server->serverState(), ServerState::connected);
        QTRY_VERIFY(server->isConnected());
    }

    void pairsOnlyWithTheExactPin()
    {
        startServer(42);
        auto phone = connectPhone();
        QVERIFY(phone);
        phone->take();

        for (const QString &wrong : {QStringLiteral("42"), QStringLiteral(" 0042"),
                                     QStringLiteral("0042 "), QStringLiteral("1234")}) {
            phone->send(td::IPhoneHello{wrong});
            QVERIFY(phone->waitFor(1));
            QVERIFY2(phone->take().is<td::PairingRejected>(), qPrintable(wrong));
            QCOMPARE(server->serverState(), ServerState::connected);
            QVERIFY(!server->runningAppsTimer());
        }

        fake->applications.running = {{11, QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), {}}};
        phone->send(td::IPhoneHello{QStringLiteral("0042")});
        QVERIFY(phone->waitFor(4));
        QCOMPARE(phone->kinds(), (QList<TDMessageKind>{
                                     TDMessageKind::pairingConfirmed, TDMessageKind::appListUpdate,
                                     TDMessageKind::runningAppsUpdate,
                                     TDMessageKind::frontmostAppUpdate}));
        phone->take();
        QVERIFY(phone->take().get<td::AppListUpdate>()->apps.isEmpty());
        QCOMPARE(phone->take().get<td::RunningAppsUpdate>()->bundleIDs,
                 QStringList{QStringLiteral("com.apple.finder")});
        QCOMPARE(server->serverState(), ServerState::paired);
        QVERIFY(server->runningAppsTimer()->isActive());
        QCOMPARE(server->runningAppsTimer()->interval(), 1500);
        QVERIFY(server->pingTimer()->isActive());
        QCOMPARE(server->pingTimer()->interval(), 5000);

        // A wrong PIN later leaves the pairing and its timers alone.
        phone->received.clear();
        phone->send(td::IPhoneHello{QStringLiteral("9999")});
        QVERIFY(phone->waitFor(1));
        QVERIFY(phone->take().is<td::PairingRejected>());
        QCOMPARE(server->serverState(), ServerState::paired);
        QVERIFY(server->runningAppsTimer()->isActive());
    }

    void answersRequestsBeforePairing()
    {
        startServer();
        auto phone = connectPhone();
        QVERIFY(phone);
        phone->take();

        phone->send(td::Ping{});
        QVERIFY(phone->waitFor(1));
        QVERIFY(phone->take().is<td::Pong>());

        // Two requests: two lists now, two pairs of running-app reports later.
        phone->send(td::RequestAppList{});
        phone->send(td::RequestAppList{});
        QVERIFY(phone->waitFor(6));
        QCOMPARE(phone->kinds(), (QList<TDMessageKind>{
                                     TDMessageKind::appListUpdate, TDMessageKind::appListUpdate,
                                     TDMessageKind::runningAppsUpdate,
                                     TDMessageKind::frontmostAppUpdate,
                                     TDMessageKind::runningAppsUpdate,
                                     TDMessageKind::frontmostAppUpdate}));
        QCOMPARE(server->serverState(), ServerState::connected);
    }

    void carriesOutCommandsWhateverTheState()
    {
        startServer();
        fake->applications.installed[QStringLiteral("com.example.editor")] =
            QStringLiteral("/Applications/Editor.app");
        fake->applications.running = {{21, QStringLiteral("com.example.player"), QStringLiteral("Player"), {}}};
        auto phone = connectPhone();
        QVERIFY(phone);
        phone->take();

        phone->send(td::LaunchApp{QStringLiteral("com.example.editor")});
        phone->send(td::QuitApp{QStringLiteral("com.example.player")});
        phone->send(td::HideApp{QStringLiteral("com.example.player")});
        phone->send(td::AdjustVolume{0.5f});
        phone->send(td::LockScreen{});
        phone->send(td::ClipboardPayload{QStringLiteral("hello from the phone")});
        phone->send(td::RequestClipboard{});
        QVERIFY(phone->waitFor(1));
        const TDMessage clip = phone->take();
        QVERIFY(clip.is<td::ClipboardPayload>());
        QCOMPARE(clip.get<td::ClipboardPayload>()->text, QStringLiteral("hello from the phone"));
        QCOMPARE(fake->applications.calls,
                 (QStringList{QStringLiteral("open /Applications/Editor.app"),
                              QStringLiteral("terminate 21"), QStringLiteral("hide 21")}));
        QTRY_COMPARE(fake->scripts.ran().size(), 2);
        QVERIFY(fake->scripts.ran().contains(QStringLiteral("set volume output volume 50")));
        QCOMPARE(server->serverState(), ServerState::connected);
    }

    void ignoresWhatOnlyTheDesktopSends()
    {
        startServer();
        auto phone = connectPhone();
        QVERIFY(phone);
        phone->take();

        const QList<TDMessage> ignored = {
            td::MacHello{QStringLiteral("1"), QStringLiteral("x")}, td::PairingConfirmed{},
            td::PairingRejected{}, td::AppListUpdate{}, td::ToggleDoNotDisturb{},
            td::RunningAppsUpdate{}, td::FrontmostAppUpdate{}, td::Pong{}};
        for (const TDMessage &m : ignored)
            phone->send(m);
        phone->send(td::Ping{});
        QVERIFY(phone->waitFor(1));
        QTest::qWait(150); // anything the ignored ones caused would be here by now
        QCOMPARE(phone->kinds(), QList<TDMessageKind>{TDMessageKind::pong});
        QCOMPARE(server->serverState(), ServerState::connected);
        QVERIFY(fake->applications.calls.isEmpty());
        QVERIFY(fake->scripts.ran().isEmpty());
    }

    void runningAppReportsFilterOnlyTheTimersOwnFrontmost()
    {
        startServer();
        auto phone = pairedPhone();
        QVERIFY(phone);
        const RunningApplication self{1, QStringLiteral("org.example.tendril"), QStringLiteral("Tendril"), {}};
        const RunningApplication mail{2, QStringLiteral("com.example.mail"), QStringLiteral("Mail"), {}};
        const RunningApplication nameless{3, std::nullopt, QStringLiteral("helper"), {}};
        fake->applications.running = {self, mail, nameless, mail};
        fake->applications.frontmost = self;

        server->pollRunningApps();
        QVERIFY(phone->waitFor(2));
        QCOMPARE(phone->take().get<td::RunningAppsUpdate>()->bundleIDs,
                 (QStringList{QStringLiteral("org.example.tendril"), QStringLiteral("com.example.mail"),
                              QStringLiteral("com.example.mail")}));
        QVERIFY(!phone->take().get<td::FrontmostAppUpdate>()->bundleID);

        server->sendRunningAppsNow();
        QVERIFY(phone->waitFor(2));
        phone->take();
        QCOMPARE(phone->take().get<td::FrontmostAppUpdate>()->bundleID,
                 std::optional(QStringLiteral("org.example.tendril")));

        fake->applications.frontmost = RunningApplication{4, QStringLiteral("com.larkspire.tendrilmac"), {}, {}};
        server->pollRunningApps();
        QVERIFY(phone->waitFor(2));
        phone->take();
        QVERIFY(!phone->take().get<td::FrontmostAppUpdate>()->bundleID);

        fake->applications.frontmost = mail;
        server->pollRunningApps();
        QVERIFY(phone->waitFor(2));
        phone->take();
        QCOMPARE(phone->take().get<td::FrontmostAppUpdate>()->bundleID,
                 std::optional(QStringLiteral("com.example.mail")));

        server->sendPing();
        QVERIFY(phone->waitFor(1));
        QVERIFY(phone->take().is<td::Ping>());
    }

    void phoneClosingEndsTheLinkNotThePairing()
    {
        startServer();
        auto phone = pairedPhone();
        QVERIFY(phone);
        phone->socket.disconnectFromHost();
        phone.reset();
        // The receive chain ends: the link is down, the state is left as it was.
        QTRY_VERIFY(!server->isConnected());
        QVERIFY(!server->connection());
        QCOMPARE(server->serverState(), ServerState::paired);
        server->sendPing(); // nothing to send to, and nothing fails
        server->pollRunningApps();
        QTest::qWait(20);

        // The next phone is served from the start, pings included.
        auto next = connectPhone();
        QVERIFY(next);
        QVERIFY(next->take().is<td::MacHello>());
        QTRY_VERIFY(server->isConnected());
        server->sendPing();
        QVERIFY(next->waitFor(1));
        QVERIFY(next->take().is<td::Ping>());
    }

    void failedConnectionStopsReportsButNotPings()
    {
        startServer();
        auto phone = pairedPhone();
        QVERIFY(phone);
        server->handleConnectionState(server->connection(), TDConnection::State::failed);
        QVERIFY(!server->isConnected());
        QCOMPARE(server->serverState(), ServerState::advertising);
        QVERIFY(!server->runningAppsTimer()->isActive());
        QVERIFY(server->pingTimer()->isActive());
        server->pollRunningApps();
        server->sendPing();
        QTest::qWait(50);
        QVERIFY(phone->received.empty());
    }

    void newestPhoneTakesOverAndStaysServed()
    {
        startServer(1234);
        auto first = pairedPhone();
        QVERIFY(first);

        auto second = connectPhone();
        QVERIFY(second);
        const TDMessage hello = second->take();
        QCOMPARE(hello.get<td::MacHello>()->pin, QStringLiteral("1234"));
        QCOMPARE(server->serverState(), ServerState::connected);

        // The first phone is let go; its late reports leave the second alone.
        QTRY_COMPARE(first->socket.state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(100);
        QVERIFY(server->isConnected());
        QCOMPARE(server->serverState(), ServerState::connected);

        second->send(td::IPhoneHello{QStringLiteral("1234")});
        QVERIFY(second->waitFor(4));
        QVERIFY(second->take().is<td::PairingConfirmed>());
        QCOMPARE(server->serverState(), ServerState::paired);
        QVERIFY(server->runningAppsTimer()->isActive());
        second->received.clear();
        second->send(td::Ping{});
        QVERIFY(second->waitFor(1));
        QVERIFY(second->take().is<td::Pong>());
        QVERIFY(server->isConnected());
    }

    void retriesWithNewPinsWhileThePortIsTaken()
    {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::Any, port));
        quint64 next = 1000;
        server->setRandomWordSource([&next] { return wordFor(next++); });
        server->startListening();
        QCOMPARE(server->pin(), QStringLiteral("1000"));
        QCOMPARE(server->serverState(), ServerState::stopped);
        QVERIFY(!server->listener());

        QSignalSpy pinChanges(server.get(), &MacServerService::pinChanged);
        QVERIFY(pinChanges.wait(3000));
        QCOMPARE(server->pin(), QStringLiteral("1001"));
        QCOMPARE(server->serverState(), ServerState::stopped);

        squatter.close();
        QTRY_COMPARE_WITH_TIMEOUT(server->serverState(), ServerState::advertising, 3000);
        QCOMPARE(server->pin(), QStringLiteral("1002"));
        auto phone = connectPhone();
        QVERIFY(phone);
        QCOMPARE(phone->take().get<td::MacHello>()->pin, QStringLiteral("1002"));
    }

    void failedListenerStopsAndRestarts()
    {
        startServer();
        server->handleListenerState(TcpListener::State::failed);
        QCOMPARE(server->serverState(), ServerState::stopped);
        QCOMPARE(fake->advertiser.calls.last(), QStringLiteral("withdraw"));
        server->handleListenerState(TcpListener::State::cancelled);
        QCOMPARE(server->serverState(), ServerState::stopped);

        // The shell starts it again: a new listener on the same port, a new PIN.
        server->setRandomWordSource([] { return wordFor(5555); });
        server->startListening();
        QTRY_COMPARE(server->serverState(), ServerState::advertising);
        QCOMPARE(server->pin(), QStringLiteral("5555"));
        QVERIFY(connectPhone());
    }
};

QTEST_MAIN(ServerTest)
#include "tst_server.moc"
