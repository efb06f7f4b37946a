#include "web/WebRemote.h"

#include "transport/ListenProblem.h"
#include "transport/TDConnection.h"
#include "transport/WebSocketFrames.h"
#include "web/WebLog.h"
#include "web/WebPageServer.h"

#include <QTcpServer>

WebRemote::WebRemote(QObject *parent)
    : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &WebRemote::listen);
    // Addresses come and go with the network; the window shows the new ones.
    m_addressCheck.setInterval(addressCheckMs);
    connect(&m_addressCheck, &QTimer::timeout, this, &WebRemote::refreshUrls);
}

WebRemote::~WebRemote() = default;

void WebRemote::start()
{
    if (m_wanted)
        return;
    m_wanted = true;
    listen();
}

void WebRemote::stop()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    m_retry.stop();
    m_addressCheck.stop();
    // Links already handed out belong to the server, which keeps them.
    m_server.reset();
    m_servingPort = 0;
    setProblem(QString());
    refreshUrls();
    qCInfo(lcWeb).noquote() << QStringLiteral("[Web] Web remote stopped");
}

void WebRemote::listen()
{
    auto tcp = std::make_unique<QTcpServer>();
    if (!tcp->listen(m_listenAddress, m_port)) {
        if (m_problem.isEmpty())
            qCWarning(lcWeb).noquote() << QStringLiteral("[Web] Cannot listen on port %1 (%2); retrying every %3 s")
                                              .arg(m_port).arg(tcp->errorString()).arg(retryMs / 1000);
        setProblem(listenProblem(m_port, tcp->serverError()));
        m_retry.start();
        return;
    }
    m_servingPort = tcp->serverPort();
    m_server = std::make_unique<WebPageServer>();
    m_server->setPort(m_servingPort);
    m_server->bind(tcp.release());
    connect(m_server.get(), &WebPageServer::newWebSocketConnection, this, &WebRemote::takeLinks);
    setProblem(QString());
    refreshUrls();
    m_addressCheck.start();
    qCInfo(lcWeb).noquote() << QStringLiteral("[Web] Web remote listening on port %1").arg(m_servingPort);
}

// Only the page's own links get this far.
void WebRemote::takeLinks()
{
    while (m_server && m_server->hasPendingWebSocketConnections())
        emit newConnection(new TDConnection(new WebSocketFrames(m_server->nextPendingWebSocketConnection())));
}

void WebRemote::refreshUrls()
{
    QStringList urls;
    if (m_server) {
        const LocalHost host = LocalHost::current();
        m_server->setLocalHost(host);
        const QList<QHostAddress> listened =
            m_listenAddress == QHostAddress::Any ? host.addresses : QList<QHostAddress>{m_listenAddress};
        urls = webRemoteUrls(reachableAddresses(listened), m_servingPort);
    }
    if (urls == m_urls)
        return;
    m_urls = urls;
    emit urlsChanged();
}

void WebRemote::setProblem(const QString &problem)
{
    if (m_problem == problem)
        return;
    m_problem = problem;
    emit problemChanged();
}
