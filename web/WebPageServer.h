#pragma once

#include "web/LocalHost.h"

#include <QAbstractHttpServer>

// HTTP for the web remote: the page's files, built into the program, to
// requests that name this machine, and the upgrade of the page's own link
// to a WebSocket, which the base class then hands out as a pending
// connection. Any other upgrade is refused in its handshake.
class WebPageServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    static inline const QString linkPath = QStringLiteral("/link");

    explicit WebPageServer(QObject *parent = nullptr);

    // The port requests must name; set once listening.
    void setPort(quint16 port) { m_port = port; }
    // Refreshed when the machine's addresses may have changed.
    void setLocalHost(LocalHost host) { m_host = std::move(host); }
    const LocalHost &localHost() const { return m_host; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    // True lets the base class complete the handshake.
    bool answerUpgrade(const QHttpServerRequest &request, QHttpServerResponder &responder);

    quint16 m_port = 0;
    LocalHost m_host;
};
