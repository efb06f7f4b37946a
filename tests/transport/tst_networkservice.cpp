#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"
#include "transport/TDNetworkService.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cmath>

namespace {

QByteArray frameOf(QByteArrayView body) { return *makeFrame(body); }
QByteArray launchFrame(const QString &bundleID) { return frameOf(*encodeMessage(td::LaunchApp{bundleID})); }

// A server in miniature: adopts the newest connection the way the desktop
// does (cancel the old one, store, start) and reacts to its reports.
class LoopbackService : public TDNetworkService {
public:
    using TDNetworkService::handleReceive;
    using TDNetworkService::receiveBuffer;

    void adopt(QTcpSocket *socket)
    {
        auto *adopted = new TDConnection(socket);
        if (connection())
            connection()->cancel();
        setConnection(adopted);
        connect(adopted, &TDConnection::stateChanged, this, [this, adopted](TDConnection::State state) {
            reports.append({adopted, state});
            if (state == TDConnection::State::ready) {
                setIsConnected(true);
                receiveNext();
            } else if (state == TDConnection::State::failed || state == TDConnection::State::cancelled) {
                setIsConnected(false);
            }
        });
        adopted->start();
    }

    QList<QPair<QPointer<TDConnection>, TDConnection::State>> reports;
};

// The one consumer of the stream: the bundle identifier of a launchApp, the
// kind of any other.
class Consumer : public QObject {
public:
    explicit Consumer(TDMessageStream *stream) : m_stream(stream) { waitForNext(); }
    QStringList received;

private:
    void waitForNext()
    {
        m_stream->next(this, [this](const TDMessage &message) {
            received.append(message.is<td::LaunchApp>() ? message.get<td::LaunchApp>()->bundleID
                                                        : QString(kindName(message.kind())));
            waitForNext();
        });
    }
    TDMessageStream *m_stream;
};

} // namespace

class TestNetworkService : public QObject {
    Q_OBJECT

    std::unique_ptr<QTcpServer> m_listener;
    std::unique_ptr<LoopbackService> m_service;
    std::vector<std::unique_ptr<QTcpSocket>> m_phones;

    // A new phone: connects to the listener and is adopted by the service.
    QTcpSocket *connectPhone()
    {
        QTcpSocket *phone = m_phones.emplace_back(std::make_unique<QTcpSocket>()).get();
        phone->connectToHost(QHostAddress::LocalHost, m_listener->serverPort());
        if (!m_listener->waitForNewConnection(5000))
            return nullptr;
        m_service->adopt(m_listener->nextPendingConnection());
        return QTest::qWaitFor([&] { return phone->state() == QAbstractSocket::ConnectedState && m_service->isConnected(); }, 5000)
            ? phone : nullptr;
    }

    static void write(QTcpSocket *phone, const QByteArray &bytes)
    {
        phone->write(bytes);
        phone->flush();
    }

private slots:
    void init()
    {
        m_listener = std::make_unique<QTcpServer>();
        QVERIFY(m_listener->listen(QHostAddress::LocalHost, 0));
        m_service = std::make_unique<LoopbackService>();
    }

    void cleanup()
    {
        m_phones.clear();
        m_service.reset();
        m_listener.reset();
    }

    void cutsFramesFromTheByteStream()
    {
        Consumer consumer(m_service->messages());
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        // One byte per receive: nothing until the last byte, then one message.
        const QByteArray frame = launchFrame("com.one.byte");
        for (qsizetype i = 0; i < frame.size() - 1; ++i) {
            write(phone, frame.mid(i, 1));
            QTRY_COMPARE(m_service->receiveBuffer().size(), i + 1);
            QVERIFY(consumer.received.isEmpty());
        }
        write(phone, frame.right(1));
        QTRY_COMPARE(consumer.received, QStringList{"com.one.byte"});
        consumer.received.clear();

        // Stray bytes, a zero length, a length of 10,000,000 (refused at once,
        // so the frame right behind it is found) and bodies that are not
        // messages are passed over; frames written together stay in order.
        write(phone, "xyz" + launchFrame("com.after.stray") + QByteArray::fromHex("deadbeef00000000") +
                         launchFrame("com.after.zero") + QByteArray::fromHex("deadbeef00989680") +
                         launchFrame("com.after.huge") + frameOf("not json") + frameOf(R"({"ping":{},"pong":{}})") +
                         launchFrame("com.valid"));
        QTRY_COMPARE(consumer.received, (QStringList{"com.after.stray", "com.after.zero", "com.after.huge", "com.valid"}));
        QCOMPARE(m_service->receiveBuffer().size(), 0);

        // 9,999,999 is a body to wait for: everything behind the header is kept.
        const QByteArray waiting = QByteArray::fromHex("deadbeef0098967f") + launchFrame("com.inside.body");
        write(phone, waiting);
        QTRY_COMPARE(m_service->receiveBuffer().size(), waiting.size());
        QTest::qWait(50);
        QCOMPARE(consumer.received.size(), 4);
        QVERIFY(m_service->isConnected());
    }

    // The stream holds, in order, what arrives after it is first asked for.
    void streamHoldsOnlyWhatArrivesAfterFirstRead()
    {
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        // Three stray bytes behind it show when the frame has been cut.
        write(phone, launchFrame("com.before.stream") + "abc");
        QTRY_COMPARE(m_service->receiveBuffer().size(), 3);
        TDMessageStream *stream = m_service->messages();
        QCOMPARE(m_service->messages(), stream);
        QByteArray many;
        QStringList held;
        for (int i = 0; i < 200; ++i) {
            held.append(QStringLiteral("com.held.%1").arg(i));
            many += launchFrame(held.last());
        }
        write(phone, many);
        // Beyond a small bound the rest waits unread, and follows as the consumer takes.
        QTRY_COMPARE(stream->pendingCount(), BackPressure::maximumPendingMessages);
        Consumer consumer(stream);
        QTRY_COMPARE(consumer.received, held);
        QCOMPARE(stream->pendingCount(), 0);
    }

    void deliversLastFrameThenDisconnectsOnPeerClose()
    {
        Consumer consumer(m_service->messages());
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        const QPointer<TDConnection> connection = m_service->connection();
        QSignalSpy connectedChanges(m_service.get(), &TDNetworkService::isConnectedChanged);
        write(phone, launchFrame("com.last.words"));
        phone->disconnectFromHost();
        QTRY_VERIFY(!m_service->isConnected());
        QCOMPARE(consumer.received, QStringList{"com.last.words"});
        QCOMPARE(connectedChanges.size(), 1);
        QCOMPARE(m_service->connection(), nullptr);
        // The forgotten connection is released without a cancelled report.
        QTRY_VERIFY(connection.isNull());
        QCOMPARE(m_service->reports.last().second, TDConnection::State::ready);
    }

    void sendsExactFrames()
    {
        m_service->send(td::Ping{}); // before any connection: nowhere to write
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        m_service->send(TDMessage(td::AdjustVolume{NAN}));
        m_service->send(td::RequestAppList{});
        const QByteArray expected = QByteArray::fromHex("deadbeef00000015") + R"({"requestAppList":{}})";
        QTRY_COMPARE(phone->bytesAvailable(), expected.size());
        QCOMPARE(phone->readAll(), expected);
        QTest::qWait(50);
        QCOMPARE(phone->bytesAvailable(), 0);
    }

    void replacedConnectionCannotDisturbTheNewOne()
    {
        Consumer consumer(m_service->messages());
        QTcpSocket *first = connectPhone();
        QVERIFY(first);
        const QPointer<TDConnection> firstConnection = m_service->connection();
        // Half a frame, whose length would swallow the next phone's first frame.
        const QByteArray unfinished = launchFrame("com.unfinished").first(20);
        write(first, unfinished);
        QTRY_COMPARE(m_service->receiveBuffer().size(), unfinished.size());

        // Adopting the second cancels the first's armed receive, whose error
        // completion arrives after the second is ready.
        const qsizetype reportsBefore = m_service->reports.size();
        QTcpSocket *second = connectPhone();
        QVERIFY(second);
        QCOMPARE(m_service->receiveBuffer().size(), 0);
        TDConnection *secondConnection = m_service->connection();
        QTRY_VERIFY(firstConnection.isNull());
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(50);
        QVERIFY(m_service->isConnected());
        QCOMPARE(m_service->connection(), secondConnection);
        for (const auto &[from, state] : m_service->reports.sliced(reportsBefore))
            QVERIFY2(from == secondConnection, "a replaced connection reported after it was replaced");
        write(second, launchFrame("com.second.phone"));
        QTRY_COMPARE(consumer.received, QStringList{"com.second.phone"});

        // A stale completion handed in directly changes nothing either.
        auto *stale = new TDConnection(new QTcpSocket, m_service.get());
        m_service->handleReceive(stale, launchFrame("com.stale"), true, QStringLiteral("gone"));
        QVERIFY(m_service->isConnected());
        QCOMPARE(m_service->connection(), secondConnection);
        QTest::qWait(50);
        QCOMPARE(consumer.received.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestNetworkService)
#include "tst_networkservice.moc"
