#include "ServerFixture.h"
#include "TestPhone.h"

#include "server/Pin.h"
#include "server/PinThrottle.h"
#include "tests/TestTime.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>

using K = TDMessageKind;

class ServerTest : public QObject, ServerFixture {
    Q_OBJECT

    void startServer(quint64 pinValue = 4321) { QVERIFY(ServerFixture::startServer(pinValue)); }

    // A connected phone, its greeting taken unless `keepHello`.
    std::unique_ptr<TestPhone> connectPhone(bool keepHello = false)
    {
        auto phone = std::make_unique<TestPhone>(port);
        if (!phone->waitFor(1))
            return nullptr;
        if (!keepHello)
            phone->take();
        return phone;
    }

    // Connects and pairs: pairingConfirmed, appListUpdate, then the running
    // apps and the frontmost 0.1 s later; leaves the queue empty.
    std::unique_ptr<TestPhone> pairedPhone()
    {
        auto phone = connectPhone();
        if (!phone)
            return nullptr;
        phone->send(td::IPhoneHello{server->pin()});
        if (!phone->waitFor(4))
            return nullptr;
        phone->received.clear();
        return phone;
    }

    // The frontmost identifier of the next running-app report pair.
    std::optional<QString> nextFrontmost(TestPhone &phone)
    {
        if (!phone.waitFor(2) || !phone.take().is<td::RunningAppsUpdate>())
            return QStringLiteral("<no report>");
        return phone.take().get<td::FrontmostAppUpdate>()->bundleID;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void pinDrawsAreUniformAndFourDigits()
    {
        for (quint64 n : {0, 42, 999})
            QCOMPARE(drawPin([n] { return wordFor(n); }), QString::number(n).rightJustified(4, '0'));
        QCOMPARE(drawPin([] { return ~quint64(0); }), QStringLiteral("9999"));
        // Words whose low product half falls below 2^64 mod 10000 are redrawn.
        QList<quint64> words = {0, 1, wordFor(7)};
        int drawn = 0;
        QCOMPARE(drawPin([&] { return words[drawn++]; }), QStringLiteral("0000"));
        QCOMPARE(drawn, 2);
    }

    // Construction starts nothing; started, the server advertises, greets
    // with its PIN and name, and pairs only with that exact PIN.
    void greetsAndPairsOnlyWithTheExactPin()
    {
        QCOMPARE(server->serverState(), ServerState::stopped);
        QVERIFY(server->pin().isEmpty() && !server->listener() && fake->advertiser.calls.isEmpty());
        qint64 now = 0;
        server->pinThrottle().setClock([&now] { return now; });
        fake->computerName.rename("Test Desk"); // nothing to rename yet
        QVERIFY(fake->advertiser.calls.isEmpty());
        startServer(42);
        QCOMPARE(fake->advertiser.calls, QStringList{QString("advertise Test Desk _tendril._tcp local. %1").arg(port)});
        auto phone = connectPhone(true);
        QVERIFY(phone);
        const TDMessage hello = phone->take();
        QCOMPARE(hello.get<td::MacHello>()->pin + " " + hello.get<td::MacHello>()->macName, QStringLiteral("0042 Test Desk"));
        QCOMPARE(server->serverState(), ServerState::connected);
        TRY_VERIFY(server->isConnected());
        // Five wrong PINs are only refused outside protected mode.
        for (const char *wrong : {"42", " 0042", "0042 ", "00042", "1234"}) {
            phone->send(td::IPhoneHello{wrong});
            QVERIFY2(phone->take().is<td::PairingRejected>(), wrong);
            QCOMPARE(server->serverState(), ServerState::connected);
            QVERIFY(!server->runningAppsTimer());
        }
        // Five wrong ones make the address wait a second: the right PIN is
        // not compared until then.
        phone->send(td::IPhoneHello{"0042"});
        QVERIFY(phone->take().is<td::PairingRejected>());
        QCOMPARE(server->serverState(), ServerState::connected);
        now += 1000;
        fake->applications.running = {{11, "com.apple.finder", "Finder", {}}};
        phone->send(td::IPhoneHello{"0042"});
        QVERIFY(phone->waitFor(4));
        QCOMPARE(phone->kinds(), (QList<K>{K::pairingConfirmed, K::appListUpdate, K::runningAppsUpdate, K::frontmostAppUpdate}));
        phone->take();
        QVERIFY(phone->take().get<td::AppListUpdate>()->apps.isEmpty());
        QCOMPARE(phone->take().get<td::RunningAppsUpdate>()->bundleIDs, QStringList{"com.apple.finder"});
        QCOMPARE(server->serverState(), ServerState::paired);
        QCOMPARE(server->runningAppsTimer()->isActive() ? server->runningAppsTimer()->interval() : 0, 1500);
        QCOMPARE(server->pingTimer()->isActive() ? server->pingTimer()->interval() : 0, 5000);
        QCOMPARE(server->runningAppsTimer()->timerType(), Qt::PreciseTimer);
        QCOMPARE(server->pingTimer()->timerType(), Qt::PreciseTimer);
        // A wrong PIN later leaves the pairing and its timers alone.
        phone->received.clear();
        phone->send(td::IPhoneHello{"9999"});
        QVERIFY(phone->take().is<td::PairingRejected>());
        QCOMPARE(server->serverState(), ServerState::paired);
        QVERIFY(server->runningAppsTimer()->isActive());
        // The system's name found late renames the advertisement.
        fake->computerName.rename("Late Desk");
        QCOMPARE(fake->advertiser.calls.last(), QString("advertise Late Desk _tendril._tcp local. %1").arg(port));
        QCOMPARE(fake->advertiser.calls.size(), 2);
    }

    // Before pairing: pings and list requests are answered (each request
    // with a list now and running-app reports later); what only the desktop
    // sends is ignored; commands are carried out.
    void servesAnUnpairedPhone()
    {
        startServer();
        auto phone = connectPhone();
        QVERIFY(phone);
        for (const TDMessage &m : QList<TDMessage>{td::MacHello{"1", "x"}, td::PairingConfirmed{}, td::PairingRejected{},
                                                    td::AppListUpdate{}, td::ToggleDoNotDisturb{}, td::RunningAppsUpdate{},
                                                    td::FrontmostAppUpdate{}, td::Pong{}, td::Ping{},
                                                    td::RequestAppList{}, td::RequestAppList{}})
            phone->send(m);
        QVERIFY(phone->waitFor(7));
        QTest::qWait(scaledMs(150)); // anything the ignored ones caused would be here by now
        QCOMPARE(phone->kinds(), (QList<K>{K::pong, K::appListUpdate, K::appListUpdate, K::runningAppsUpdate,
                                           K::frontmostAppUpdate, K::runningAppsUpdate, K::frontmostAppUpdate}));
        QCOMPARE(server->serverState(), ServerState::connected);
        QVERIFY(fake->applications.calls.isEmpty() && fake->scripts.ran().isEmpty());

        // Commands are carried out unpaired too (outside protected mode).
        phone->received.clear();
        fake->applications.installed["com.example.editor"] = "/Applications/Editor.app";
        fake->applications.running = {{21, "com.example.player", "Player", {}}};
        for (const TDMessage &m : QList<TDMessage>{td::LaunchApp{"com.example.editor"}, td::QuitApp{"com.example.player"},
                                                    td::HideApp{"com.example.player"}, td::AdjustVolume{0.5f}, td::LockScreen{},
                                                    td::ClipboardPayload{"hello from the phone"}, td::RequestClipboard{}})
            phone->send(m);
        QCOMPARE(phone->take().get<td::ClipboardPayload>()->text, QStringLiteral("hello from the phone"));
        QCOMPARE(fake->applications.calls, (QStringList{"open /Applications/Editor.app", "terminate 21", "hide 21"}));
        TRY_COMPARE(fake->scripts.ran().size(), 2);
        QVERIFY(fake->scripts.ran().contains("set volume output volume 50"));
        QCOMPARE(server->serverState(), ServerState::connected);
    }

    // Only the timer's own report hides this program as frontmost.
    // The list goes out 0.05 s after each change of the selection, with the
    // selection as it is then, and only while a phone is connected.
    void selectionChangesSendOneCurrentListEach()
    {
        const auto toggle = [&](const QStringList &bundleIDs) {
            for (const QString &id : bundleIDs)
                store->toggleSelection(InstalledApp{QUuid::createUuid(), id, id, std::nullopt, QString()});
        };
        const auto appLists = [](const TestPhone &phone) {
            QList<QStringList> lists;
            for (const TDMessage &message : phone.received)
                if (const auto *update = message.get<td::AppListUpdate>()) {
                    lists.append(QStringList());
                    for (const AppItem &item : update->apps)
                        lists.last().append(item.bundleIdentifier);
                }
            return lists;
        };
        toggle({"com.example.safari"}); // no phone yet
        QTest::qWait(scaledMs(150));
        startServer();
        auto phone = connectPhone();
        QVERIFY(phone);
        QTest::qWait(scaledMs(100));
        QCOMPARE(appLists(*phone).size(), 0); // arriving is not a change

        QElapsedTimer clock;
        clock.start();
        toggle({"com.example.mail"});
        TRY_COMPARE(appLists(*phone).size(), 1);
        QVERIFY2(clock.elapsed() >= 45, "the list goes out 0.05 s after the change");
        QCOMPARE(appLists(*phone).last(), (QStringList{"com.example.safari", "com.example.mail"}));
        // Two quick changes: two lists, each with the selection as it is now.
        toggle({"com.example.safari", "com.example.terminal"});
        TRY_COMPARE(appLists(*phone).size(), 3);
        const QStringList current{"com.example.mail", "com.example.terminal"};
        QCOMPARE(appLists(*phone).mid(1), (QList<QStringList>{current, current}));
    }

    void runningAppReportsFilterOnlyTheTimersOwnFrontmost()
    {
        startServer();
        auto phone = pairedPhone();
        QVERIFY(phone);
        const RunningApplication self{1, "org.example.tendril", "Tendril", {}};
        const RunningApplication mail{2, "com.example.mail", "Mail", {}};
        fake->applications.running = {self, mail, {3, std::nullopt, "helper", {}}, mail};
        fake->applications.frontmost = self;
        server->pollRunningApps();
        QVERIFY(phone->waitFor(2));
        QCOMPARE(phone->take().get<td::RunningAppsUpdate>()->bundleIDs,
                 (QStringList{"org.example.tendril", "com.example.mail", "com.example.mail"}));
        QVERIFY(!phone->take().get<td::FrontmostAppUpdate>()->bundleID);
        server->sendRunningAppsNow();
        QCOMPARE(nextFrontmost(*phone), std::optional<QString>("org.example.tendril"));
        fake->applications.frontmost = RunningApplication{4, "com.larkspire.tendrilmac", {}, {}};
        server->pollRunningApps();
        QCOMPARE(nextFrontmost(*phone), std::nullopt);
        fake->applications.frontmost = mail;
        server->pollRunningApps();
        QCOMPARE(nextFrontmost(*phone), std::optional<QString>("com.example.mail"));
        server->sendPing();
        QVERIFY(phone->take().is<td::Ping>());
    }

    void phoneClosingEndsTheLinkNotThePairing()
    {
        startServer();
        auto phone = pairedPhone();
        QVERIFY(phone);
        phone.reset();
        TRY_VERIFY(!server->isConnected());
        QVERIFY(!server->connection());
        QCOMPARE(server->serverState(), ServerState::paired);
        server->sendPing(); // nothing to send to, and nothing fails
        server->pollRunningApps();
        // The next phone is served from the start, pings included.
        auto next = connectPhone(true);
        QVERIFY(next);
        QVERIFY(next->take().is<td::MacHello>());
        TRY_VERIFY(server->isConnected());
        server->sendPing();
        QVERIFY(next->take().is<td::Ping>());
        next->send(td::IPhoneHello{server->pin()});
        QVERIFY(next->waitFor(4));
        QVERIFY(server->runningAppsTimer()->isActive());
        // A failed link stops the reports but not the pings.
        server->handleConnectionState(server->connection(), TDConnection::State::failed);
        QVERIFY(!server->isConnected());
        QCOMPARE(server->serverState(), ServerState::advertising);
        QVERIFY(!server->runningAppsTimer()->isActive());
        next->received.clear();
        QVERIFY(server->pingTimer()->isActive());
        server->pollRunningApps();
        server->sendPing();
        QTest::qWait(scaledMs(50));
        QVERIFY(next->received.empty());
    }

    void newestPhoneTakesOverAndStaysServed()
    {
        startServer(1234);
        auto first = pairedPhone();
        QVERIFY(first);
        auto second = connectPhone(true);
        QVERIFY(second);
        QCOMPARE(second->take().get<td::MacHello>()->pin, QStringLiteral("1234"));
        QCOMPARE(server->serverState(), ServerState::connected);
        // The first phone is let go; its late reports leave the second alone.
        TRY_COMPARE(first->socket.state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(scaledMs(100));
        QVERIFY(server->isConnected() && !server->runningAppsTimer()->isActive());
        QCOMPARE(server->serverState(), ServerState::connected);
        second->send(td::IPhoneHello{"1234"});
        QVERIFY(second->waitFor(4));
        QVERIFY(second->take().is<td::PairingConfirmed>());
        QCOMPARE(server->serverState(), ServerState::paired);
        QVERIFY(server->runningAppsTimer()->isActive());
        second->received.clear();
        second->send(td::Ping{});
        QVERIFY(second->take().is<td::Pong>());
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
        QVERIFY(pinChanges.wait(scaledMs(3000)));
        QCOMPARE(server->pin(), QStringLiteral("1001"));
        squatter.close();
        TRY_COMPARE_WITHIN(server->serverState(), ServerState::advertising, 3000);
        QCOMPARE(server->pin(), QStringLiteral("1002"));
        // Out of file descriptors later, say: it stops, withdraws, and retries the same way.
        server->listener()->stateChanged(TcpListener::State::failed, QStringLiteral("EMFILE"));
        TRY_COMPARE(server->serverState(), ServerState::stopped);
        QCOMPARE(fake->advertiser.calls.last(), QStringLiteral("withdraw"));
        TRY_COMPARE_WITHIN(server->serverState(), ServerState::advertising, 5000);
        auto phone = connectPhone(true);
        QVERIFY(phone);
        QCOMPARE(phone->take().get<td::MacHello>()->pin, QStringLiteral("1003"));
    }

    // The throttle on a clock the test turns. Steps: "aN" N wrong PINs from
    // address a, "a=" the right PIN from a, "+ms" time passes. Each PIN
    // gives a letter: c compared, w not compared as its address waits, b
    // not compared as all addresses together are at the limit.
    void pinGuessingIsSlowed_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("verdicts");
        QTest::newRow("five wrong, then a second's wait") << "a5 a= +999 a= +1 a=" << "cccccwwc";
        QTest::newRow("PINs during a wait count for nothing") << "a5 a1 a1 +1000 a4 a=" << "cccccwwccccc";
        QTest::newRow("the wait doubles") << "a5 +1000 a5 +1999 a= +1 a=" << "ccccccccccwc";
        QTest::newRow("up to five minutes") << QString("a5 +300000 ").repeated(9) + "a5 +299999 a= +1 a="
                                            << QString(50, 'c') + "wc";
        QTest::newRow("pairing starts afresh") << "a5 +1000 a= a5 +1000 a=" << "cccccc" "ccccc" "c";
        QTest::newRow("other addresses are not kept waiting") << "a5 b= a=" << "cccccc" "w";
        QTest::newRow("thirty a minute for all") << "a4 b4 c4 d4 e4 f4 g4 h2 i= +59999 i= +1 i="
                                                 << QString(30, 'c') + "bbc";
        QTest::newRow("right PINs do not count") << QString("a= ").repeated(40) + "b5 c5 d5 e5 f5 g4 h1 h="
                                                 << QString(70, 'c') + "b";
    }
    void pinGuessingIsSlowed()
    {
        QFETCH(QString, steps);
        QFETCH(QString, verdicts);
        PinThrottle throttle;
        qint64 now = 0;
        throttle.setClock([&now] { return now; });
        QString said;
        for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
            if (step.startsWith('+')) {
                now += step.mid(1).toLongLong();
                continue;
            }
            const QString address = step.left(1);
            const bool right = step.endsWith('=');
            for (int i = 0, n = right ? 1 : step.mid(1).toInt(); i < n; ++i) {
                const PinThrottle::Verdict verdict = throttle.consider(address);
                said += verdict.compare ? 'c' : verdict.allBusy ? 'b' : 'w';
                if (verdict.compare)
                    right ? throttle.right(address) : void(throttle.wrong(address));
            }
        }
        QCOMPARE(said, verdicts);
    }

    // Every PIN guessed as fast as the throttle allows, from `addresses`
    // addresses in turn, waiting out each refusal on the test's clock.
    void guessingEveryPinTakesHours_data()
    {
        QTest::addColumn<int>("addresses");
        QTest::addColumn<double>("atLeastHours");
        QTest::newRow("one address: days") << 1 << 6 * 24.0;
        QTest::newRow("a hundred: thirty a minute") << 100 << 5.5;
        QTest::newRow("more than are remembered") << 5000 << 5.5;
    }
    void guessingEveryPinTakesHours()
    {
        QFETCH(int, addresses);
        QFETCH(double, atLeastHours);
        PinThrottle throttle;
        qint64 now = 0;
        throttle.setClock([&now] { return now; });
        for (int guessed = 0, next = 0; guessed < 10000;) {
            qint64 wait = PinThrottle::longestWaitMs;
            bool any = false;
            for (int i = 0; i < std::min(addresses, 100) && guessed < 10000; ++i) {
                const QString address = QString::number(next++ % addresses);
                const PinThrottle::Verdict verdict = throttle.consider(address);
                if (verdict.compare) {
                    throttle.wrong(address);
                    ++guessed;
                    any = true;
                } else {
                    wait = std::min(wait, verdict.waitMs);
                }
            }
            if (!any)
                now += std::max<qint64>(wait, 1);
        }
        QVERIFY2(now >= atLeastHours * 3600'000, qPrintable(QString::number(now / 3600'000.0)));
    }

    // A burst of connections made while the server cannot accept: each is
    // greeted or closed, none is left hanging, and the newest is served.
    void everyConnectionOfABurstIsGreetedOrClosed()
    {
        startServer();
        std::vector<std::unique_ptr<QTcpSocket>> sockets(500);
        for (auto &socket : sockets) {
            socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, port);
        }
        const auto settled = [](const std::unique_ptr<QTcpSocket> &socket) {
            return socket->bytesAvailable() > 0 || socket->state() == QAbstractSocket::UnconnectedState;
        };
        const auto unsettled = [&] { return std::count_if(sockets.begin(), sockets.end(), std::not_fn(settled)); };
        TRY_COMPARE_WITHIN(unsettled(), 0, 20000);
        // Only the one adopted last stays open.
        const auto open = [&] {
            return std::count_if(sockets.begin(), sockets.end(), [](const auto &socket) {
                return socket->state() == QAbstractSocket::ConnectedState;
            });
        };
        TRY_COMPARE(open(), 1);
        TRY_VERIFY(server->isConnected());
    }

    void messagesOverTheFrameLimitAreNotSent()
    {
        startServer();
        QTcpSocket raw; // bytes as they come, before any frame is cut
        raw.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(QTest::qWaitFor([&] { return server->isConnected() && raw.bytesAvailable() > 0; }, scaledMs(5000)));
        raw.readAll(); // macHello
        server->send(td::LaunchApp{QString(10'000'000, QLatin1Char('x'))});
        server->send(td::Ping{});
        const QByteArray ping = *makeFrame(*encodeMessage(td::Ping{}));
        QByteArray bytes;
        QVERIFY(QTest::qWaitFor([&] { return (bytes += raw.readAll()).size() >= ping.size(); }, scaledMs(5000)));
        QCOMPARE(bytes, ping);
    }
};

QTEST_MAIN(ServerTest)
#include "tst_server.moc"
