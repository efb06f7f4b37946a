#include "server/TcpListener.h"

#include <QMetaObject>
#include <QTcpSocket>

#include <sys/socket.h>

std::unique_ptr<TcpListener> TcpListener::create(quint16 port, const QHostAddress &address,
                                                 Error *error)
{
    std::unique_ptr<TcpListener> listener(new TcpListener);
    // Qt's backlog of 50 overflows in a burst while the event loop is busy:
    // the kernel then drops the handshakes beyond it, and those phones wait
    // for retransmissions seconds apart, connected on their side but never
    // accepted. The system's largest backlog lets every one of them in.
    listener->m_server.setListenBacklogSize(SOMAXCONN);
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
