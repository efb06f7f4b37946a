// Protected mode over loopback: approval before greeting, pairing first, no
// PIN guessing, the approved phones in the settings file, and the question
// as a desktop notification on a private session bus.
#include "ServerFixture.h"
#include "tests/services/PrivateBus.h"
#include "TestPhone.h"

#include "platform/files/SettingsUserDefaults.h"
#include "platform/freedesktop/FreedesktopNotifications.h"
#include "server/AppSettings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include "tests/TestTime.h"

// Stands in for the desktop's notification service.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &,
                const QStringList &actions, const QVariantMap &, int)
    {
        calls << summary + " " + actions.join(',');
        return 7;
    }
    void CloseNotification(uint id) { calls << QStringLiteral("close %1").arg(id); }
};

class ProtectTest : public QObject, ServerFixture {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> config; // a fresh settings file for each test
    std::unique_ptr<AppSettings> settings;
    QStringList log;
    NotificationService service;
    FreedesktopNotifications notifications;

    // A server on the settings file, logging here; true once advertising.
    bool restartServer()
    {
        server.reset();
        settings = std::make_unique<AppSettings>(ActionLog([this](QtMsgType, const QString &l) { log << l; }));
        server = std::make_unique<MacServerService>(*store, &fake->platform);
        server->setListeningPort(port);
        server->setSettings(settings.get());
        server->setLog(ActionLog([this](QtMsgType, const QString &l) { log << l; }));
        server->approvals()->setNotifications(&notifications);
        return startServer(4321);
    }
    void protect(const QStringList &approved)
    {
        settings->setRequireApproval(true);
        for (const QString &address : approved)
            settings->approve(address);
    }
    std::unique_ptr<TestPhone> phone(const char *from)
    {
        auto p = std::make_unique<TestPhone>(port, QHostAddress(QString::fromLatin1(from)));
        return p->waitConnected() ? std::move(p) : nullptr;
    }
    bool closed(TestPhone &p)
    {
        return QTest::qWaitFor([&] { return p.socket.state() == QAbstractSocket::UnconnectedState; }, scaledMs(5000));
    }

private slots:
    void initTestCase()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
    }
    void init()
    {
        // Set before the store's scan starts: its workers read the environment.
        config = std::make_unique<QTemporaryDir>();
        setUp(nullptr, config->path());
        log.clear();
        service.calls.clear();
        QVERIFY(restartServer());
    }
    void cleanup() { tearDown(); settings.reset(); }

    void heldPhoneWaitsForTheAnswer_data()
    {
        QTest::addColumn<QString>("answer");
        for (const char *answer : {"allow", "deny", "timeout", "leave", "notification"})
            QTest::newRow(answer) << answer;
    }
    void heldPhoneWaitsForTheAnswer()
    {
        QFETCH(QString, answer);
        protect({"127.0.0.1"});
        server->approvals()->setAnswerTimeout(answer == "timeout" ? 300 : 60'000);
        auto first = phone("127.0.0.1");
        QVERIFY(first && first->pair(server->pin()));

        auto second = phone("127.0.0.2");
        TRY_COMPARE(server->approvals()->pendingPhones(), QStringList{"127.0.0.2"});
        TRY_COMPARE(service.calls.value(0), QString("Allow phone at 127.0.0.2? allow,Allow,deny,Deny"));
        second->sendAll({td::LockScreen{}, td::Ping{}});
        first->send(td::Ping{});
        TRY_VERIFY(first->kinds().contains(TDMessageKind::pong));
        QVERIFY(second->received.empty());
        QCOMPARE(server->serverState(), ServerState::paired);

        // Reports for the first phone on their way while the answer comes.
        server->pollRunningApps();
        server->sendAppList();
        if (answer == "allow")
            server->approvals()->allow("127.0.0.2");
        else if (answer == "deny")
            server->approvals()->deny("127.0.0.2");
        else if (answer == "leave")
            second->socket.disconnectFromHost();
        else if (answer == "notification")
            QDBusConnection::sessionBus().send(QDBusMessage::createSignal(
                "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked")
                << 7u << QStringLiteral("allow"));
        TRY_VERIFY(server->approvals()->pendingPhones().isEmpty());
        const bool allowed = answer == "allow" || answer == "notification";
        if (allowed) {
            // Greeted, then its held ping answered; the held lockScreen is
            // dropped, and the first phone's reports never reach it. Only the
            // keep-alive may come in between, whenever its timer fires.
            QVERIFY(second->waitFor(1));
            QVERIFY(second->take().is<td::MacHello>());
            QVERIFY(!server->runningAppsTimer()->isActive()); // until it pairs
            TRY_VERIFY(second->kinds().contains(TDMessageKind::pong));
            QTest::qWait(scaledMs(200)); // time for a misdirected report to arrive
            for (const TDMessageKind kind : second->kinds())
                QVERIFY2(kind == TDMessageKind::pong || kind == TDMessageKind::ping, qPrintable(QString(kindName(kind))));
            QVERIFY(closed(*first));
            QCOMPARE(server->phoneAddress(), QString("127.0.0.2"));
        } else {
            if (answer != "leave")
                QVERIFY(closed(*second));
            first->received.clear();
            first->send(td::Ping{});
            TRY_VERIFY(first->kinds().contains(TDMessageKind::pong));
            QCOMPARE(server->serverState(), ServerState::paired);
        }
        QVERIFY(fake->scripts.ran().isEmpty());
        QCOMPARE(settings->isApproved("127.0.0.2"), allowed);
        TRY_VERIFY(service.calls.contains("close 7"));
        QVERIFY(log.contains("[Server] Phone at 127.0.0.2 is waiting for approval"));
        QVERIFY(log.contains("[Server] Phone at 127.0.0.1 paired"));
        QCOMPARE(log.contains("[Server] Phone at 127.0.0.1 replaced by a new connection"), allowed);
    }

    void heldPhonesAreBounded()
    {
        protect({});
        std::vector<std::unique_ptr<TestPhone>> phones;
        for (const char *from : {"127.0.0.10", "127.0.0.11", "127.0.0.12", "127.0.0.13", "127.0.0.14",
                                 "127.0.0.15", "127.0.0.16", "127.0.0.17", "127.0.0.18", "127.0.0.12"})
            phones.push_back(phone(from));
        TRY_COMPARE(server->approvals()->pendingPhones().size(), 8);
        QVERIFY(closed(*phones[0]));
        QVERIFY(closed(*phones[2]));
        QCOMPARE(server->approvals()->pendingPhones().last(), QString("127.0.0.12"));

        // A flood is kept to 64 KB; the rest waits in the phone's socket.
        phones.back()->socket.write(QByteArray(32 << 20, 'x'));
        QTest::qWait(scaledMs(500));
        for (const QTcpSocket *held : server->approvals()->findChildren<QTcpSocket *>())
            QVERIFY(held->bytesAvailable() <= ConnectionGate::heldBytesLimit);
        QVERIFY(phones.back()->socket.bytesToWrite() > 0);
    }

    // Commands wait for pairing; five wrong PINs end the connection, draw
    // a new PIN and make the address wait before its next PIN is compared;
    // no PIN reaches the log.
    void commandsWaitForPairingAndGuessesAreLimited()
    {
        protect({"127.0.0.1"});
        auto p = phone("127.0.0.1");
        QVERIFY(p && p->waitFor(1));
        p->take();
        p->sendAll({td::LockScreen{}, td::EmptyTrash{}, td::Ping{}});
        QVERIFY(p->take().is<td::Pong>());
        QVERIFY(fake->scripts.ran().isEmpty());
        QCOMPARE(log.filter("ignored until it pairs").size(), 1);
        QVERIFY(log.contains("[Server] Phone connected from 127.0.0.1"));

        int draws = 0;
        server->setRandomWordSource([&] { return wordFor(1000 + draws++); });
        for (int i = 0; i < 5; ++i) {
            p->send(td::IPhoneHello{QStringLiteral("000%1").arg(i)});
            QVERIFY(i == 4 || p->take().is<td::PairingRejected>());
        }
        QVERIFY(closed(*p));
        QCOMPARE(server->pin(), QString("1000"));
        QCOMPARE(log.filter("Wrong PIN from 127.0.0.1").size(), 5);
        QVERIFY(log.contains("[Server] 5 wrong PINs from 127.0.0.1: its next PIN is compared in 1 s"));
        QVERIFY(log.filter("4321").isEmpty() && log.filter("0003").isEmpty());
    }

    void approvedPhonesSurviveARestart_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QStringList>("approved");
        // Forgetting the connected phone's address also closes its connection.
        QTest::addColumn<QString>("forgotten");
        QTest::newRow("one") << QVariant("127.0.0.1") << QStringList{"127.0.0.1"} << "127.0.0.1";
        QTest::newRow("mapped") << QVariant(QStringList{"::ffff:127.0.0.1", "fe80::1"})
                                << QStringList{"127.0.0.1", "fe80::1"} << "127.0.0.1";
        QTest::newRow("forget another") << QVariant(QStringList{"127.0.0.1", "fe80::1"})
                                        << QStringList{"127.0.0.1", "fe80::1"} << "fe80::1";
        QTest::newRow("not an address") << QVariant(QStringList{"127.0.0.1", "phone"}) << QStringList{}
                                        << QString();
        QTest::newRow("bytes") << QVariant(QByteArray("127.0.0.1")) << QStringList{} << QString();
    }
    void approvedPhonesSurviveARestart()
    {
        QFETCH(QVariant, stored);
        QFETCH(QStringList, approved);
        QFETCH(QString, forgotten);
        SettingsUserDefaults().setValue(AppSettings::approvedPhonesKey, stored);
        SettingsUserDefaults().setValue(AppSettings::requireApprovalKey, true);
        QVERIFY(restartServer());
        QCOMPARE(settings->approvedPhones(), approved);
        QCOMPARE(log.size(), approved.isEmpty() ? 1 : 0);

        auto p = phone("127.0.0.1");
        QVERIFY(p);
        QCOMPARE(p->waitFor(1, 300), !approved.isEmpty());
        if (approved.isEmpty())
            return;
        QVERIFY(p->pair(server->pin()));
        settings->forget(forgotten);
        approved.removeAll(forgotten);
        QCOMPARE(SettingsUserDefaults().value(AppSettings::approvedPhonesKey).toStringList(), approved);
        if (forgotten == "127.0.0.1") {
            QVERIFY(closed(*p));
            TRY_COMPARE(server->serverState(), ServerState::advertising);
            QVERIFY(log.contains("[Server] Phone at 127.0.0.1 was forgotten; its connection is closed"));
        } else {
            p->received.clear();
            p->send(td::Ping{});
            TRY_VERIFY(p->kinds().contains(TDMessageKind::pong));
            QCOMPARE(server->serverState(), ServerState::paired);
        }
    }
};

PRIVATE_BUS_TEST_MAIN(QCoreApplication, ProtectTest)

#include "tst_protect.moc"
