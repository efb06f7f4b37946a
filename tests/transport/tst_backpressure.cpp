// The phone link's memory bound against a flooding and a non-reading phone,
// over a real loopback socket.
#include "protocol/MessageCodec.h"
#include "transport/TDNetworkService.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray frameOf(const TDMessage &message)
{
    return *makeFrame(*encodeMessage(message));
}

// Adopts one phone and handles its messages as the desktop would: a ping is
// answered with a pong, a request for the app list with `replyBytes` of text.
class Link : public TDNetworkService {
public:
    qint64 replyBytes = 256 * 1024;
    qint64 peak = 0;

    explicit Link(QTcpServer &listener)
    {
        connect(&listener, &QTcpServer::newConnection, this, [this, &listener] {
            auto *adopted = new TDConnection(listener.nextPendingConnection());
            setConnection(adopted);
            connect(adopted, &TDConnection::stateChanged, this, [this](TDConnection::State state) {
                setIsConnected(state == TDConnection::State::ready);
                if (state == TDConnection::State::ready)
                    receiveNext();
            });
            adopted->start();
        });
        handleNext();
        connect(&m_sampler, &QTimer::timeout, this, [this] { peak = std::max(peak, bufferedBytes()); });
        m_sampler.start(1);
    }

private:
    void handleNext()
    {
        messages()->next(this, [this](const TDMessage &message) {
            if (message.is<td::Ping>())
                send(td::Pong{});
            else if (message.is<td::RequestAppList>())
                send(td::ClipboardPayload{QString(replyBytes, u'x')});
            handleNext();
        });
    }

    QTimer m_sampler;
};

// Standard output captured in a file while it lives.
class CapturedOutput {
public:
    CapturedOutput() : m_saved(::dup(1)) { m_file.open(); std::fflush(stdout); ::dup2(m_file.handle(), 1); }
    ~CapturedOutput() { restore(); }
    QByteArray restore()
    {
        std::fflush(stdout);
        ::dup2(m_saved, 1);
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    int m_saved;
    QTemporaryFile m_file;
};

} // namespace

class TestBackPressure : public QObject {
    Q_OBJECT
private slots:
    void floodingPhoneIsHeldBackAndStillAnswered()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        Link link(listener);
        QTcpSocket phone;
        phone.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(phone.waitForConnected());

        // 40 MB of one-byte frames that are no message, topped up as they go
        // out, then one ping.
        const QByteArray garbage = QByteArray::fromHex("deadbeef0000000178").repeated(100'000);
        qint64 sent = 0;
        const auto topUp = [&] {
            while (sent < 40'000'000 && phone.bytesToWrite() < 4 * garbage.size()) {
                phone.write(garbage);
                sent += garbage.size();
                if (sent >= 40'000'000)
                    phone.write(frameOf(td::Ping{}));
            }
        };
        connect(&phone, &QTcpSocket::bytesWritten, this, topUp);
        topUp();
        QTRY_VERIFY_WITH_TIMEOUT(phone.bytesAvailable() > 0, 30'000);
        QCOMPARE(phone.readAll(), frameOf(td::Pong{}));
        QVERIFY2(link.peak <= TDConnection::readBufferBytes + TDNetworkService::maximumReceiveLength,
                 QByteArray::number(link.peak));
    }

    void nonReadingPhoneIsBoundedThenDisconnected()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        Link link(listener);
        // Long enough for every answer to be made, were nothing held back.
        link.backPressure().setStalledWriteLimit(2000);
        QTcpSocket phone;
        phone.setReadBufferSize(1); // reads nothing beyond one byte
        phone.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(phone.waitForConnected());
        QTRY_VERIFY(link.isConnected());

        CapturedOutput output;
        // A thousand requests whose answers would come to 256 MB.
        phone.write(frameOf(td::RequestAppList{}).repeated(1000));
        const bool disconnected = QTest::qWaitFor([&] { return !link.isConnected(); }, 20'000);
        const QList<QByteArray> lines = output.restore().trimmed().split('\n');
        QVERIFY(disconnected);
        QTRY_COMPARE(link.connection(), nullptr);
        const qint64 bound = BackPressure::writeHighWaterMark
                             + BackPressure::maximumPendingMessages * (link.replyBytes + 64)
                             + TDConnection::readBufferBytes + TDNetworkService::maximumReceiveLength;
        QVERIFY2(link.peak <= bound, QByteArray::number(link.peak));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("[Connection] Disconnected a phone that read nothing"), lines.first());
    }
};

QTEST_GUILESS_MAIN(TestBackPressure)
#include "tst_backpressure.moc"
