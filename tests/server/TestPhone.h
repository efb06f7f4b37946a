#pragma once

#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"

#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <deque>
#include "tests/TestTime.h"

// A phone made of a plain socket and the frame format, independent of the
// transport under test; or a web remote's page, one message a WebSocket text.
class TestPhone : public QObject {
public:
    struct WebPage {};
    TestPhone(WebPage, quint16 webPort)
        : web(std::make_unique<QWebSocket>(QStringLiteral("http://127.0.0.1:%1").arg(webPort)))
    {
        connect(web.get(), &QWebSocket::textMessageReceived, this, [this](const QString &text) {
            if (auto message = decodeMessage(text.toUtf8()))
                received.push_back(*message);
        });
        web->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/link").arg(webPort)));
    }

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
        if (web) {
            web->sendTextMessage(QString::fromUtf8(*encodeMessage(message)));
            return;
        }
        socket.write(*makeFrame(*encodeMessage(message)));
        socket.flush();
    }
    void sendAll(const QList<TDMessage> &messages) { for (const TDMessage &m : messages) send(m); }

    // Waits until `count` messages have arrived (or the time is up).
    bool waitFor(size_t count, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return received.size() >= count; }, scaledMs(timeoutMs));
    }

    // Takes the greeting and sends `pin`; true once the pairing is confirmed.
    bool pair(const QString &pin)
    {
        if (!waitFor(1))
            return false;
        take();
        send(td::IPhoneHello{pin});
        return take().is<td::PairingConfirmed>();
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
    std::unique_ptr<QWebSocket> web;
    FrameBuffer buffer;
    std::deque<TDMessage> received;
};
