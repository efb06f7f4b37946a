#pragma once

#include "transport/TDConnection.h"

#include <QObject>
#include <QTcpServer>

#include <memory>

// A TCP listener on a fixed port of every local address (IPv4 and IPv6) or
// of one address, in the style the server expects of the platform: created
// (bound) at once or not at all, then started; state reports and inbound
// connections arrive as signals on the owning thread.
class TcpListener : public QObject {
    Q_OBJECT
public:
    enum class State { setup, ready, failed, cancelled };
    Q_ENUM(State)

    struct Error {
        QAbstractSocket::SocketError code = QAbstractSocket::UnknownSocketError;
        QString text;
    };

    // Binds now; none (and `error` set) when the port cannot be bound.
    static std::unique_ptr<TcpListener> create(quint16 port,
                                               const QHostAddress &address = QHostAddress::Any,
                                               Error *error = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    void start();
    void cancel();

signals:
    void stateChanged(TcpListener::State state, const QString &error);
    // An accepted connection, not yet started; the receiver takes ownership.
    void newConnection(TDConnection *connection);

private:
    TcpListener() = default;
    void handOverPending();

    QTcpServer m_server;
    bool m_started = false;
};
