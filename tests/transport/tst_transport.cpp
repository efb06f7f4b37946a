// The transport: frames cut from bytes, one connection, and the service that
// adopts connections, hands on messages and bounds its memory.
#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"
#include "transport/TDMessageStream.h"
#include "transport/TDNetworkService.h"
#include "transport/WebSocketFrames.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtTest>

#include <cmath>
#include "tests/TestTime.h"

namespace {

QByteArray frameOf(QByteArrayView body) { return *makeFrame(body); }
QByteArray frameOf(const TDMessage &message) { return frameOf(*encodeMessage(message)); }
QByteArray launchFrame(const QString &bundleID) { return frameOf(*encodeMessage(td::LaunchApp{bundleID})); }

// A server in miniature: adopts the newest connection the way the desktop
// does (cancel the old one, store, start) and reacts to its reports.
class LoopbackService : public TDNetworkService {
public:
    using TDNetworkService::receiveBuffer;
    qint64 peak = 0; // the most bytes held at once, sampled every millisecond

    LoopbackService()
    {
        connect(&m_sampler, &QTimer::timeout, this, [this] { peak = std::max(peak, bufferedBytes()); });
        m_sampler.start(1);
    }

    void adopt(TDConnection *adopted)
    {
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

private:
    QTimer m_sampler;
};

// The one consumer of the stream: the bundle identifier of a launchApp, the
// kind of any other. With `replies` it answers as the desktop would: a ping
// with a pong, a request for the app list with `replyBytes` of text.
class Consumer : public QObject {
public:
    explicit Consumer(TDMessageStream *stream, TDNetworkService *replies = nullptr)
        : m_stream(stream), m_replies(replies) { waitForNext(); }
    QStringList received;
    qint64 replyBytes = 256 * 1024;
    // Runs inside the dispatch of each message, as the server's handlers do.
    std::function<void(const QString &)> onMessage;

private:
    void waitForNext()
    {
        m_stream->next(this, [this](const TDMessage &message) {
            received.append(message.is<td::LaunchApp>() ? message.get<td::LaunchApp>()->bundleID
                                                        : QString(kindName(message.kind())));
            if (onMessage)
                onMessage(received.last());
            if (m_replies && message.is<td::Ping>())
                m_replies->send(td::Pong{});
            else if (m_replies && message.is<td::RequestAppList>())
                m_replies->send(td::ClipboardPayload{QString(replyBytes, u'x')});
            waitForNext();
        });
    }
    TDMessageStream *m_stream;
    TDNetworkService *m_replies;
};

QByteArray header(quint32 length) { return QByteArray::fromHex("deadbeef" + QByteArray::number(length, 16).rightJustified(8, '0')); }

using State = TDConnection::State;

QList<State> statesOf(const QSignalSpy &spy)
{
    QList<State> states;
    for (const QList<QVariant> &report : spy)
        states.append(report.at(0).value<State>());
    return states;
}

} // namespace

class TestTransport : public QObject {
    Q_OBJECT

    std::unique_ptr<QTcpServer> m_listener;
    std::unique_ptr<LoopbackService> m_service;
    std::vector<std::unique_ptr<QTcpSocket>> m_phones;

    // A new phone: connects to the listener and is adopted by the service.
    QTcpSocket *connectPhone(qint64 readBufferSize = 0)
    {
        QTcpSocket *phone = m_phones.emplace_back(std::make_unique<QTcpSocket>()).get();
        phone->setReadBufferSize(readBufferSize);
        phone->connectToHost(QHostAddress::LocalHost, m_listener->serverPort());
        if (!m_listener->waitForNewConnection(scaledMs(5000)))
            return nullptr;
        m_service->adopt(new TDConnection(m_listener->nextPendingConnection()));
        return QTest::qWaitFor([&] { return phone->state() == QAbstractSocket::ConnectedState && m_service->isConnected(); }, scaledMs(5000))
            ? phone : nullptr;
    }

    static void write(QTcpSocket *phone, const QByteArray &bytes) { phone->write(bytes); phone->flush(); }

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
            TRY_COMPARE(m_service->receiveBuffer().size(), i + 1);
            QVERIFY(consumer.received.isEmpty());
        }
        write(phone, frame.right(1));
        TRY_COMPARE(consumer.received, QStringList{"com.one.byte"});

        // Stray bytes and bodies that are not messages are passed over;
        // frames written together stay in order.
        write(phone, "xyz" + launchFrame("com.after.stray") + frameOf("not json") +
                         frameOf(R"({"ping":{},"pong":{}})") + launchFrame("com.valid"));
        TRY_COMPARE(consumer.received, (QStringList{"com.one.byte", "com.after.stray", "com.valid"}));
        QCOMPARE(m_service->receiveBuffer().size(), 0);
        QVERIFY(m_service->isConnected());
    }

    // The stream holds, in order, what arrives after it is first asked for.
    void streamHoldsOnlyWhatArrivesAfterFirstRead()
    {
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        // Three stray bytes behind it show when the frame has been cut.
        write(phone, launchFrame("com.before.stream") + "abc");
        TRY_COMPARE(m_service->receiveBuffer().size(), 3);
        TDMessageStream *stream = m_service->messages();
        QCOMPARE(m_service->messages(), stream);
        QByteArray many;
        QStringList held;
        for (int i = 0; i < 200; ++i)
            many += launchFrame(held.emplaceBack(QStringLiteral("com.held.%1").arg(i)));
        write(phone, many);
        // Beyond a small bound the rest waits unread, and follows as the consumer takes.
        TRY_COMPARE(stream->pendingCount(), BackPressure::maximumPendingMessages);
        Consumer consumer(stream);
        TRY_COMPARE(consumer.received, held);
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
        TRY_VERIFY(!m_service->isConnected());
        QCOMPARE(consumer.received, QStringList{"com.last.words"});
        QCOMPARE(connectedChanges.size(), 1);
        QCOMPARE(m_service->connection(), nullptr);
        // The forgotten connection is released without a cancelled report.
        TRY_VERIFY(connection.isNull());
        QCOMPARE(m_service->reports.last().second, TDConnection::State::ready);
    }

    void sendsExactFrames()
    {
        m_service->send(td::Ping{}); // before any connection: nowhere to write
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        m_service->send(TDMessage(td::AdjustVolume{NAN}));
        m_service->send(td::LaunchApp{QString(10'000'000, u'x')}); // over the frame limit
        m_service->send(td::RequestAppList{});
        const QByteArray expected = QByteArray::fromHex("deadbeef00000015") + R"({"requestAppList":{}})";
        TRY_COMPARE(phone->bytesAvailable(), expected.size());
        QCOMPARE(phone->readAll(), expected);
        QTest::qWait(scaledMs(50));
        QCOMPARE(phone->bytesAvailable(), 0);
    }

    void replacedConnectionCannotDisturbTheNewOne()
    {
        Consumer consumer(m_service->messages());
        QTcpSocket *first = connectPhone();
        QVERIFY(first);
        // Half a frame, whose length would swallow the next phone's first frame.
        const QByteArray unfinished = launchFrame("com.unfinished").first(20);
        write(first, unfinished);
        TRY_COMPARE(m_service->receiveBuffer().size(), unfinished.size());

        // Adopting the second cancels the first's armed receive, whose error
        // completion arrives after the second is ready.
        const qsizetype reportsBefore = m_service->reports.size();
        QTcpSocket *second = connectPhone();
        QVERIFY(second);
        TDConnection *secondConnection = m_service->connection();
        TRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(scaledMs(50));
        QVERIFY(m_service->isConnected());
        QCOMPARE(m_service->connection(), secondConnection);
        for (const auto &[from, state] : m_service->reports.sliced(reportsBefore))
            QVERIFY2(from == secondConnection, "a replaced connection reported after it was replaced");
        write(second, launchFrame("com.second.phone"));
        TRY_COMPARE(consumer.received, QStringList{"com.second.phone"});

        // Messages are handled as they are cut: a handler that answers and
        // then cancels the connection leaves the rest of its bytes unhandled.
        consumer.onMessage = [this](const QString &what) {
            if (what == "ping")
                m_service->send(td::Pong{});
            if (what == "com.stop")
                m_service->connection()->cancel();
        };
        write(second, frameOf(td::Ping{}) + frameOf(td::Ping{}));
        TRY_COMPARE(second->bytesAvailable(), 2 * frameOf(td::Pong{}).size());
        write(second, launchFrame("com.stop") + frameOf(td::Ping{}) + launchFrame("com.never"));
        TRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
        TRY_VERIFY(!m_service->isConnected());
        QCOMPARE(consumer.received, (QStringList{"com.second.phone", "ping", "ping", "com.stop"}));
    }

    void floodingPhoneIsHeldBackAndStillAnswered()
    {
        Consumer consumer(m_service->messages(), m_service.get());
        QTcpSocket *phone = connectPhone();
        QVERIFY(phone);
        // 40 MB of one-byte frames that are no message, topped up as they go
        // out, then one ping.
        const QByteArray garbage = QByteArray::fromHex("deadbeef0000000178").repeated(100'000);
        qint64 sent = 0;
        const auto topUp = [&] {
            while (sent < 40'000'000 && phone->bytesToWrite() < 4 * garbage.size()) {
                phone->write(garbage);
                if ((sent += garbage.size()) >= 40'000'000)
                    phone->write(frameOf(td::Ping{}));
            }
        };
        connect(phone, &QTcpSocket::bytesWritten, this, topUp);
        topUp();
        TRY_VERIFY_WITHIN(phone->bytesAvailable() > 0, 30'000);
        QCOMPARE(phone->readAll(), frameOf(td::Pong{}));
        QVERIFY2(m_service->peak <= TDConnection::readBufferBytes + TDNetworkService::maximumReceiveLength,
                 QByteArray::number(m_service->peak));
    }

    void nonReadingPhoneIsBoundedThenDisconnected()
    {
        Consumer consumer(m_service->messages(), m_service.get());
        // Long enough for every answer to be made, were nothing held back.
        m_service->backPressure().setStalledWriteLimit(2000);
        QTcpSocket *phone = connectPhone(1); // reads nothing beyond one byte
        QVERIFY(phone);
        // One failure line, at warning level.
        const QRegularExpression said("^\\[Connection\\] Disconnected a phone that read nothing for 2 s "
                                      "while \\d+ bytes waited to be sent$");
        QTest::ignoreMessage(QtWarningMsg, said);
        QTest::failOnWarning(said);
        // A thousand requests whose answers would come to 256 MB.
        write(phone, frameOf(td::RequestAppList{}).repeated(1000));
        TRY_VERIFY_WITHIN(!m_service->isConnected(), 20'000);
        TRY_COMPARE(m_service->connection(), nullptr);
        const qint64 bound = BackPressure::writeHighWaterMark
                             + BackPressure::maximumPendingMessages * (consumer.replyBytes + 64)
                             + TDConnection::readBufferBytes + TDNetworkService::maximumReceiveLength;
        QVERIFY2(m_service->peak <= bound, QByteArray::number(m_service->peak));
    }

    // A web remote's page: each text message is a frame both ways, and one
    // that sends more than is read, or a message over the limit, is cut off.
    void webPageLinkCarriesMessagesAndIsBounded_data()
    {
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("bytesEach");
        QTest::newRow("a ping") << 1 << 0;
        QTest::newRow("over the limit") << 1 << int(FrameBuffer::maximumBodyLength) + 1;
        QTest::newRow("more than is read") << 30 << 1'000'000;
    }

    void webPageLinkCarriesMessagesAndIsBounded()
    {
        QFETCH(int, messages);
        QFETCH(int, bytesEach);
        QWebSocketServer server(QString(), QWebSocketServer::NonSecureMode);
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QWebSocketServer::newConnection, this, [&] {
            m_service->adopt(new TDConnection(new WebSocketFrames(std::unique_ptr<QWebSocket>(server.nextPendingConnection()))));
        });
        // Messages are handled only when nothing is to be held back.
        std::optional<Consumer> consumer;
        if (!bytesEach)
            consumer.emplace(m_service->messages(), m_service.get());
        m_service->messages();
        QWebSocket page;
        QStringList answers;
        connect(&page, &QWebSocket::textMessageReceived, this, [&](const QString &text) { answers << text; });
        page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(server.serverPort())));
        // Sent before the page has its handshake's answer, a message would be dropped.
        TRY_VERIFY(m_service->isConnected() && page.state() == QAbstractSocket::ConnectedState);
        const QString text = bytesEach ? QStringLiteral("{\"clipboardPayload\":{\"text\":\"%1\"}}").arg(QString(bytesEach, 'x'))
                                       : QStringLiteral("{\"ping\":{}}");
        for (int i = 0; i < messages; ++i)
            page.sendTextMessage(text);
        if (!bytesEach) {
            TRY_COMPARE(answers, QStringList{"{\"pong\":{}}"});
            return;
        }
        TRY_VERIFY_WITHIN(page.state() == QAbstractSocket::UnconnectedState, 30'000);
        QCOMPARE(page.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    }

    void resynchronisesOverStrayBytesAndBadLengths_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("bodies");
        QTest::addColumn<QByteArray>("left");
        const auto row = [](const char *name, const QByteArray &input, const QList<QByteArray> &bodies,
                            const QByteArray &left = {}) { QTest::newRow(name) << input << bodies << left; };
        row("stray bytes", "xyz" + frameOf("hi"), {"hi"});
        row("broken marker", QByteArray::fromHex("deadbe00") + frameOf("hi"), {"hi"});
        row("only garbage keeps seven bytes", "abcdefghij", {}, "defghij");
        row("marker bytes in garbage", QByteArray::fromHex("dededeadde00deadbeadbeef") + frameOf("ok"), {"ok"});
        row("marker in the last seven bytes waits", "0123456789" + QByteArray::fromHex("deadbeef0000"), {},
            "9" + QByteArray::fromHex("deadbeef0000"));
        row("zero length", header(0) + frameOf("after zero"), {"after zero"});
        // One above the limit is rejected at once, without waiting for a body.
        row("over the limit", header(10'000'000) + frameOf("after huge"), {"after huge"});
        // The length bytes of a rejected header are the next candidate marker.
        row("length is the next marker", QByteArray::fromHex("deadbeef") + header(2) + "hi", {"hi"});
    }

    void resynchronisesOverStrayBytesAndBadLengths()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, bodies);
        QFETCH(QByteArray, left);
        FrameBuffer buffer;
        buffer.append(input);
        QList<QByteArray> cut;
        while (auto body = buffer.nextFrame())
            cut.append(body->toByteArray());
        QCOMPARE(cut, bodies);
        QCOMPARE(buffer.pending().toByteArray(), left);
    }

    void waitsForLargestBody()
    {
        FrameBuffer buffer;
        const QByteArray frame = header(9'999'999) + QByteArray(9'999'999, 'b');
        for (qsizetype offset = 0; offset < frame.size(); offset += 65'536) {
            QVERIFY(!buffer.nextFrame());
            buffer.append(QByteArrayView(frame).sliced(offset, std::min<qsizetype>(65'536, frame.size() - offset)));
        }
        const auto cut = buffer.nextFrame();
        QVERIFY(cut && *cut == QByteArrayView(frame).sliced(8));
        QCOMPARE(buffer.size(), 0);
    }

    void framesCarryMarkerAndBigEndianLength()
    {
        QCOMPARE(frameOf(QByteArray(0x010203, 'x')).first(8), QByteArray::fromHex("deadbeef00010203"));
        QByteArray reserved = QByteArray(8, '\0') + "body";
        QVERIFY(writeFrameHeader(reserved));
        QCOMPARE(reserved, QByteArray::fromHex("deadbeef00000004") + "body");
        QByteArray tooShort("abc");
        QVERIFY(!writeFrameHeader(tooShort));
        QCOMPARE(tooShort, QByteArray("abc"));
        // Only the size is looked at before refusing, so a view longer than
        // its storage stands in for a body of 4 GiB.
        const char probe[1] = {};
        QVERIFY(!makeFrame(QByteArrayView(probe, qsizetype(0x1'0000'0000))));
    }

    void queuesSendsUntilReady()
    {
        TDConnection connection("127.0.0.1", m_listener->serverPort());
        QSignalSpy reports(&connection, &TDConnection::stateChanged);
        connection.send("first ");
        connection.start();
        connection.send("second");
        TRY_COMPARE(statesOf(reports), (QList<State>{State::preparing, State::ready}));
        TRY_VERIFY(m_listener->hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(m_listener->nextPendingConnection());
        TRY_COMPARE(peer->bytesAvailable(), 12);
        QCOMPARE(peer->readAll(), QByteArray("first second"));
    }

    void reportsLaterAndOnlyOnce()
    {
        QTcpSocket phone;
        phone.connectToHost(QHostAddress::LocalHost, m_listener->serverPort());
        QVERIFY(m_listener->waitForNewConnection(scaledMs(5000)));
        TDConnection connection(m_listener->nextPendingConnection());
        QSignalSpy reports(&connection, &TDConnection::stateChanged);
        connection.start();
        QCOMPARE(reports.size(), 0);
        TRY_COMPARE(statesOf(reports), (QList<State>{State::preparing, State::ready}));

        std::optional<std::optional<QString>> error; // set when the receive completes
        QByteArray content = "unset";
        connection.receive(1, 65'536, [&](QByteArray c, bool, std::optional<QString> e) { content = c, error = e; });
        connection.cancel();
        connection.cancel();
        connection.send("after cancel");
        QVERIFY(!error);
        TRY_VERIFY(error);
        QVERIFY(*error && content.isEmpty());
        TRY_COMPARE(phone.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(statesOf(reports), (QList<State>{State::preparing, State::ready, State::cancelled}));
        QCOMPARE(phone.bytesAvailable(), 0);
    }

    void streamHandsEachMessageToOneConsumer()
    {
        TDMessageStream stream;
        QStringList taken;
        auto take = [&taken](const QString &who) {
            return [&taken, who](TDMessage message) { taken.append(who + ":" + kindName(message.kind())); };
        };
        // A consumer that goes away before a message comes takes nothing.
        auto gone = std::make_unique<QObject>();
        stream.next(gone.get(), take("gone"));
        gone.reset();
        stream.yield(td::Ping{});
        QTest::qWait(scaledMs(20));
        QCOMPARE(stream.pendingCount(), 1);
        // A later registration replaces a waiting one; messages stay in order.
        QObject context;
        stream.next(&context, take("replaced"));
        stream.next(&context, take("loop"));
        stream.yield(td::Pong{});
        TRY_COMPARE(taken, QStringList{"loop:ping"});
        stream.next(&context, take("loop"));
        TRY_COMPARE(taken, (QStringList{"loop:ping", "loop:pong"}));
        QCOMPARE(stream.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
