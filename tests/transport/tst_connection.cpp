#include "protocol/TDMessage.h"
#include "transport/TDConnection.h"
#include "transport/TDMessageStream.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

using State = TDConnection::State;

struct Received {
    bool done = false;
    QByteArray content;
    bool isComplete = false;
    std::optional<QString> error;
};

void arm(TDConnection &connection, Received &into)
{
    into = {};
    connection.receive(1, 65'536, [&into](QByteArray content, bool isComplete, std::optional<QString> error) {
        into = {true, std::move(content), isComplete, std::move(error)};
    });
}

QList<State> statesOf(const QSignalSpy &spy)
{
    QList<State> states;
    for (const QList<QVariant> &report : spy)
        states.append(report.at(0).value<State>());
    return states;
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void queuesSendsUntilReady()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        TDConnection connection("127.0.0.1", listener.serverPort());
        QSignalSpy reports(&connection, &TDConnection::stateChanged);
        connection.send("first ");
        connection.start();
        connection.send("second");
        QTRY_COMPARE(statesOf(reports), (QList<State>{State::preparing, State::ready}));
        QTRY_VERIFY(listener.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(listener.nextPendingConnection());
        QTRY_COMPARE(peer->bytesAvailable(), 12);
        QCOMPARE(peer->readAll(), QByteArray("first second"));
    }

    void reportsLaterAndOnlyOnce()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        QTcpSocket phone;
        phone.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(listener.waitForNewConnection(5000));
        TDConnection connection(listener.nextPendingConnection());
        QSignalSpy reports(&connection, &TDConnection::stateChanged);
        connection.start();
        QCOMPARE(reports.size(), 0);
        QTRY_COMPARE(statesOf(reports), (QList<State>{State::preparing, State::ready}));

        Received received;
        arm(connection, received);
        connection.cancel();
        connection.cancel();
        connection.send("after cancel");
        QVERIFY(!received.done);
        QTRY_VERIFY(received.done);
        QVERIFY(received.error && received.content.isEmpty());
        QTRY_COMPARE(phone.state(), QAbstractSocket::UnconnectedState);
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
        QTest::qWait(20);
        QCOMPARE(stream.pendingCount(), 1);
        // A later registration replaces a waiting one; messages stay in order.
        QObject context;
        stream.next(&context, take("replaced"));
        stream.next(&context, take("loop"));
        stream.yield(td::Pong{});
        QTRY_COMPARE(taken, QStringList{"loop:ping"});
        stream.next(&context, take("loop"));
        QTRY_COMPARE(taken, (QStringList{"loop:ping", "loop:pong"}));
        QCOMPARE(stream.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
