#include "server/TcpListener.h"

#include <QMetaObject>
#include <QTcpSocket>

std::unique_ptr<TcpListener> TcpListener::create(quint16 port, const QHostAddress &address,
                                                 Error *error)
{
    std::unique_ptr<TcpListener> listener(new TcpListener);
    // Qt sets SO_REUSEADDR on listening sockets, so a restart binds at once.
    if (!listener->m_server.listen(address, port)) {
        if (error)
            *error = {listener->m_server.serverError(), listener->m_server.errorString()};
        return nullptr;
    }
    return listener;
}

void TcpListener::start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this,
            &TcpListener::handOverPending);
    connect(&m_server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        emit stateChanged(State::failed, m_server.errorString());
    });
    QMetaObject::invokeMethod(this, [this] {
        emit stateChanged(m_server.isListening() ? State::ready : State::failed,
                          m_server.errorString());
        handOverPending();
    }, Qt::QueuedConnection);
}

void TcpListener::cancel()
{
    m_server.close();
    QMetaObject::invokeMethod(this, [this] { emit stateChanged(State::cancelled, {}); },
                              Qt::QueuedConnection);
}

void TcpListener::handOverPending()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(nullptr);
        emit newConnection(new TDConnection(socket));
    }
}
