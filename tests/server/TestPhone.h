#pragma once

#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"

#include <QTcpSocket>
#include <QTest>

#include <deque>
#include "tests/TestTime.h"

// A phone made of a plain socket and the frame format, independent of the
// transport under test.
class TestPhone : public QObject {
public:
    // `from` picks the phone's own loopback address (127.0.0.2, ...).
    explicit TestPhone(quint16 port, const QHostAddress &from = {})
    {
        if (!from.isNull())
            socket.bind(from);
        connect(&socket, &QTcpSocket::readyRead, this, [this] {
            buffer.append(socket.readAll());
            while (const auto body = buffer.nextFrame())
                if (auto message = decodeMessage(*body))
                    received.push_back(*message);
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    bool waitConnected() { return socket.waitForConnected(scaledMs(5000)); }

    void send(const TDMessage &message)
    {
        socket.write(*makeFrame(*encodeMessage(message)));
        socket.flush();
    }

    // Waits until `count` messages have arrived (or the time is up).
    bool waitFor(size_t count, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return received.size() >= count; }, scaledMs(timeoutMs));
    }

    // The oldest unread message; fails the test when there is none.
    TDMessage take()
    {
        if (received.empty() && !waitFor(1))
            qFatal("no message arrived");
        TDMessage message = received.front();
        received.pop_front();
        return message;
    }

    QList<TDMessageKind> kinds() const
    {
        QList<TDMessageKind> result;
        for (const TDMessage &m : received)
            result.append(m.kind());
        return result;
    }

    QTcpSocket socket;
    FrameBuffer buffer;
    std::deque<TDMessage> received;
};
