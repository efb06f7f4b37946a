#include "ServerFixture.h"
#include "TestPhone.h"

#include "server/ConnectionGate.h"
#include "log/LogOutput.h"
#include "server/Pin.h"
#include "server/PinThrottle.h"
#include "tests/TestTime.h"
#include "web/WebRemote.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>
#include <atomic>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using K = TDMessageKind;

// Standard output as the journal takes it, through the program's own
// message handler, while this lives: a packet socket, so that each write(2)
// arrives as one packet, named by JOURNAL_STREAM, so that each line carries
// its level ("<6>" info, "<4>" warning). The test's own output goes there
// too meanwhile: check after this is gone.
class JournalCapture {
public:
    JournalCapture()
    {
        ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_ends);
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        ::dup2(m_ends[1], STDOUT_FILENO);
        struct stat status {};
        ::fstat(STDOUT_FILENO, &status);
        m_journal = qgetenv("JOURNAL_STREAM");
        setEnvironment("JOURNAL_STREAM", QByteArray::number(quint64(status.st_dev)) + ':'
                                             + QByteArray::number(quint64(status.st_ino)));
        m_previous = qInstallMessageHandler(nullptr);
        installLogOutput();
    }
    ~JournalCapture()
    {
        qInstallMessageHandler(m_previous);
        setEnvironment("JOURNAL_STREAM", m_journal);
        ::dup2(m_saved, STDOUT_FILENO);
        for (int fd : {m_saved, m_ends[0], m_ends[1]})
            ::close(fd);
    }
    // Reads what was written until `done` (or the time is up): the socket
    // holds a few dozen long lines only.
    QStringList writesUntil(const std::function<bool(qsizetype writes)> &done)
    {
        (void)QTest::qWaitFor([&] {
            char packet[1 << 16];
            for (ssize_t n; (n = ::recv(m_ends[0], packet, sizeof packet, MSG_DONTWAIT)) > 0;)
                m_writes.append(QString::fromUtf8(packet, n));
            return done(m_writes.size());
        }, scaledMs(5000));
        return m_writes;
    }

private:
    int m_ends[2] = {-1, -1};
    int m_saved = -1;
    QtMessageHandler m_previous = nullptr;
    QByteArray m_journal;
    QStringList m_writes;
};

class ServerTest : public QObject, ServerFixture {
    Q_OBJECT

    void startServer(quint64 pinValue = 4321) { QVERIFY(ServerFixture::startServer(pinValue)); }

    std::unique_ptr<WebRemote> web;

    // The web remote on loopback (a free port unless `webPort`), its links going to the server.
    quint16 startWebRemote(quint16 webPort = 0)
    {
        web = std::make_unique<WebRemote>();
        web->setPort(webPort);
        web->setListenAddress(QHostAddress::LocalHost);
        connect(web.get(), &WebRemote::newConnection, server->approvals(), &ConnectionGate::admit);
        web->start();
        return web->port();
    }

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
        auto phone = std::make_unique<TestPhone>(port);
        if (!phone->pair(server->pin()) || !phone->waitFor(3))
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
    void cleanup() { web.reset(); tearDown(); }

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

    // The page's link: refused in its handshake unless the request names
    // this machine and comes from the page; the page itself only to
    // requests that name this machine.
    void webRemoteRefusesOtherPages_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QByteArray>("status");
        const QString upgrade = "GET %1 HTTP/1.1\r\nHost: %2\r\nOrigin: %3\r\nUpgrade: websocket\r\n"
                                "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n";
        const QString own = "127.0.0.1:PORT", ownPage = "http://127.0.0.1:PORT";
        QTest::newRow("the page's link") << upgrade.arg("/link", own, ownPage) << QByteArray("101");
        QTest::newRow("by host name") << upgrade.arg("/link", "LocalHost:PORT", "http://localhost:PORT") << QByteArray("101");
        QTest::newRow("another page") << upgrade.arg("/link", own, "http://evil.example") << QByteArray("403");
        QTest::newRow("no origin") << upgrade.arg("/link", own, "") << QByteArray("403");
        QTest::newRow("another port's page") << upgrade.arg("/link", own, "http://127.0.0.1:1") << QByteArray("403");
        QTest::newRow("rebound name") << upgrade.arg("/link", "evil.example:PORT", "http://evil.example:PORT") << QByteArray("403");
        QTest::newRow("another path") << upgrade.arg("/other", own, ownPage) << QByteArray("403");
        QTest::newRow("page by a rebound name") << QString("GET / HTTP/1.1\r\nHost: evil.example:PORT\r\n\r\n") << QByteArray("403");
        QTest::newRow("no such file") << QString("GET /../x HTTP/1.1\r\nHost: %1\r\n\r\n").arg(own) << QByteArray("404");
    }

    void webRemoteRefusesOtherPages()
    {
        QFETCH(QString, request);
        QFETCH(QByteArray, status);
        startServer();
        const quint16 webPort = startWebRemote();
        QVERIFY(webPort);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, webPort);
        QVERIFY(socket.waitForConnected(scaledMs(5000)));
        socket.write(request.replace("PORT", QString::number(webPort)).toLatin1());
        QByteArray answer;
        TRY_VERIFY((answer += socket.readAll()).contains("\r\n\r\n"));
        QCOMPARE(answer.left(12), "HTTP/1.1 " + status);
        // Nothing of the link reaches a refused page.
        QTest::qWait(scaledMs(100));
        answer += socket.readAll();
        QCOMPARE(answer.contains("macHello"), status == "101");
        QCOMPARE(server->isConnected(), status == "101");
    }

    // A page is never told the PIN and may do nothing before it pairs, even
    // outside protected mode; a newer page takes over its link.
    void webRemoteIsHeldToProtectedRules()
    {
        startServer(42);
        const quint16 webPort = startWebRemote();
        TestPhone page(TestPhone::WebPage{}, webPort);
        QCOMPARE(page.take().get<td::MacHello>()->pin, QString());
        page.sendAll({td::LaunchApp{"com.example.editor"}, td::ShowDesktop{}, td::Ping{}});
        QVERIFY(page.take().is<td::Pong>());
        QVERIFY(fake->applications.calls.isEmpty() && fake->scripts.ran().isEmpty());
        page.send(td::IPhoneHello{server->pin()});
        QVERIFY(page.take().is<td::PairingConfirmed>());
        page.send(td::LockScreen{});
        TRY_COMPARE(fake->scripts.ran().size(), 1);
        TestPhone newer(TestPhone::WebPage{}, webPort);
        TRY_COMPARE(page.web->closeReason(), MacServerService::replacedReason);
    }

    // A taken port is said, and retried until it is free.
    void webRemoteWaitsForItsPort()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
        startWebRemote(taken.serverPort());
        QCOMPARE(web->problem(), QString("Port %1 is in use, retrying").arg(taken.serverPort()));
        QVERIFY(!web->isServing());
        taken.close();
        TRY_VERIFY(web->isServing() && web->problem().isEmpty());
    }

    // Before pairing: pings and list requests are answered (each request
    // with a list now and running-app reports later); what only the desktop
    // sends is ignored; commands are carried out.
    void servesAnUnpairedPhone()
    {
        startServer();
        auto phone = connectPhone();
        QVERIFY(phone);
        phone->sendAll({td::MacHello{"1", "x"}, td::PairingConfirmed{}, td::PairingRejected{}, td::AppListUpdate{},
                        td::ToggleDoNotDisturb{}, td::RunningAppsUpdate{}, td::FrontmostAppUpdate{}, td::Pong{}, td::Ping{},
                        td::RequestAppList{}, td::RequestAppList{}});
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
        phone->sendAll({td::LaunchApp{"com.example.editor"}, td::QuitApp{"com.example.player"}, td::HideApp{"com.example.player"},
                        td::AdjustVolume{0.5f}, td::LockScreen{}, td::ClipboardPayload{"hello from the phone"}, td::RequestClipboard{}});
        QCOMPARE(phone->take().get<td::ClipboardPayload>()->text, QStringLiteral("hello from the phone"));
        QCOMPARE(fake->applications.calls, (QStringList{"open /Applications/Editor.app", "terminate 21", "hide 21"}));
        TRY_COMPARE(fake->scripts.ran().size(), 2);
        QVERIFY(fake->scripts.ran().contains("set volume output volume 50"));
        QCOMPARE(server->serverState(), ServerState::connected);
    }

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

    // Only the timer's own report hides this program as frontmost.
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
    }

    // A listener that stops accepting (out of file descriptors, say) is
    // withdrawn and replaced once, by the server's own retry or, when the
    // window is shown before it (the windowed program's on-appear start), by
    // that start alone: one new listener, one PIN drawn.
    void oneRestartPerListenerFailure_data()
    {
        QTest::addColumn<bool>("windowShown");
        QTest::newRow("headless: the server's retry") << false;
        QTest::newRow("windowed: shown while stopped") << true;
    }
    void oneRestartPerListenerFailure()
    {
        QFETCH(bool, windowShown);
        int draws = 0;
        server->setRandomWordSource([&draws] { return wordFor(1000 + draws++); });
        server->startListening();
        TRY_COMPARE(server->serverState(), ServerState::advertising);
        server->listener()->stateChanged(TcpListener::State::failed, QStringLiteral("EMFILE"));
        TRY_COMPARE(server->serverState(), ServerState::stopped);
        QCOMPARE(fake->advertiser.calls.last(), QStringLiteral("withdraw"));
        QCOMPARE(draws, 1);
        if (windowShown)
            server->startListening();
        TRY_COMPARE_WITHIN(server->serverState(), ServerState::advertising, 5000);
        QTest::qWait(scaledMs(MacServerService::listenerRetryMs + 500)); // time for a second restart to show
        QCOMPARE(draws, 2);
        QCOMPARE(server->pin(), QStringLiteral("1001"));
        QCOMPARE(server->serverState(), ServerState::advertising);
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

    // Every PIN guessed from one address as fast as the throttle allows,
    // waiting out each refusal on the test's clock, takes days.
    void guessingEveryPinTakesDays()
    {
        PinThrottle throttle;
        qint64 now = 0;
        throttle.setClock([&now] { return now; });
        for (int guessed = 0; guessed < 10000;) {
            const PinThrottle::Verdict verdict = throttle.consider("a");
            if (verdict.compare) {
                throttle.wrong("a");
                ++guessed;
            } else {
                now += std::max<qint64>(verdict.waitMs, 1);
            }
        }
        QVERIFY2(now >= 6 * 24 * 3600'000LL, qPrintable(QString::number(now / 3600'000.0)));
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
        const auto hanging = [](const auto &s) { return !s->bytesAvailable() && s->state() != QAbstractSocket::UnconnectedState; };
        const auto open = [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; };
        TRY_COMPARE_WITHIN(std::ranges::count_if(sockets, hanging), 0, 20000);
        // Only the one adopted last stays open.
        TRY_COMPARE(std::ranges::count_if(sockets, open), 1);
        TRY_VERIFY(server->isConnected());
    }

    // Each step's lines as standard output gets them: one write per whole
    // line, each with its tag; connection events at info, failures at
    // warning.
    void logLinesAreTaggedWholeAndLevelled_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("lines"); // one pattern per write, in order
        const QString listening = "<6>\\[Server\\] Listening on port \\d+";
        const QString connected = "<6>\\[Server\\] Phone connected from 127\\.0\\.0\\.1";
        QTest::newRow("port taken") << "squat" << QStringList{"<4>\\[Server\\] Cannot listen on port \\d+ \\(.+\\); retrying every 2 s"};
        QTest::newRow("listener stops") << "listen stop" << QStringList{listening, "<4>\\[Server\\] Stopped listening on port \\d+; retrying every 2 s"};
        QTest::newRow("connect, wrong PIN, pair") << "listen connect wrong pair"
            << QStringList{listening, connected, "<4>\\[Server\\] Wrong PIN from 127\\.0\\.0\\.1", "<6>\\[Server\\] Phone at 127\\.0\\.0\\.1 paired"};
        QTest::newRow("replaced") << "listen connect connect"
            << QStringList{listening, connected, "<6>\\[Server\\] Phone at 127\\.0\\.0\\.1 replaced by a new connection", connected};
        QTest::newRow("failed launch") << "listen connect launch" << QStringList{listening, connected, "<4>\\[Launch\\] Cannot find: com\\.example\\.none"};
        QTest::newRow("catalogue scan") << "scan" << QStringList{"<6>\\[Catalogue\\] Found \\d+ applications?"};
        QTest::newRow("two threads, long lines") << "threads" << QStringList(2 * 40, "<4>\\[AppleScript\\] (a{6000}|b{6000})");
    }
    void logLinesAreTaggedWholeAndLevelled()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, lines);
        // The fixture's own scan has said its line by now.
        QVERIFY(QTest::qWaitFor([this] { return !store->allInstalledApps().isEmpty(); }, scaledMs(10000)));
        QTcpServer squatter;
        std::vector<std::unique_ptr<TestPhone>> phones;
        std::atomic<int> writersDone = 0;
        std::vector<std::thread> writers;
        QStringList failed, writes;
        {
            JournalCapture capture;
            for (const QString &step : steps.split(' ')) {
                bool ok = true;
                if (step == "squat") {
                    ok = squatter.listen(QHostAddress::Any, port);
                    server->startListening();
                } else if (step == "listen") {
                    ok = ServerFixture::startServer(4321);
                } else if (step == "stop") {
                    server->listener()->stateChanged(TcpListener::State::failed, QStringLiteral("EMFILE"));
                    ok = QTest::qWaitFor([this] { return server->serverState() == ServerState::stopped; }, scaledMs(5000));
                } else if (step == "connect") {
                    phones.push_back(std::make_unique<TestPhone>(port));
                    ok = phones.back()->waitFor(1);
                } else if (step == "wrong" || step == "pair") {
                    phones.back()->send(td::IPhoneHello{step == "pair" ? server->pin() : QStringLiteral("9999")});
                    ok = phones.back()->waitFor(2);
                } else if (step == "launch") {
                    phones.back()->send(td::LaunchApp{"com.example.none"});
                } else if (step == "scan") {
                    MacAppStore another;
                    ok = QTest::qWaitFor([&] { return !another.allInstalledApps().isEmpty(); }, scaledMs(10000));
                } else if (step == "threads") {
                    for (const char letter : {'a', 'b'})
                        writers.emplace_back([letter, &writersDone] {
                            const ActionLog log;
                            for (int i = 0; i < 40; ++i)
                                log.write("[AppleScript] " + QString(6000, QLatin1Char(letter)));
                            ++writersDone;
                        });
                }
                if (!ok)
                    failed << step;
            }
            writes = capture.writesUntil([&](qsizetype n) { return n >= lines.size() && writersDone == int(writers.size()); });
            for (std::thread &writer : writers)
                writer.join();
        }
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join(' ')));
        QCOMPARE(writes.size(), lines.size());
        for (qsizetype i = 0; i < writes.size(); ++i)
            QVERIFY2(QRegularExpression("^(?:" + lines[i] + ")\n$").match(writes[i]).hasMatch(), qPrintable(writes[i].left(200)));
    }
};

QTEST_MAIN(ServerTest)
#include "tst_server.moc"
