#pragma once

#include "web/LocalHost.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class QWebSocket;
class TDConnection;
class WebPageServer;

// The web remote: serves the page built into the program and turns each
// WebSocket the page opens into a phone connection, on a port of its own.
class WebRemote : public QObject {
    Q_OBJECT
    // http://ADDRESS:PORT/ for each address a phone can reach; empty when off.
    Q_PROPERTY(QStringList urls READ urls NOTIFY urlsChanged)
    // Why it is not serving although switched on ("Port 57433 is in use, retrying").
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)
public:
    static constexpr quint16 defaultPort = 57433;
    static constexpr int retryMs = 2000;
    static constexpr int addressCheckMs = 30'000;

    explicit WebRemote(QObject *parent = nullptr);
    ~WebRemote() override;

    // 0 picks a free port.
    void setPort(quint16 port) { m_port = port; }
    void setListenAddress(const QHostAddress &address) { m_listenAddress = address; }

    // Serving, or retrying until the port is free; stop ends both.
    void start();
    void stop();
    bool isServing() const { return m_server != nullptr; }
    // The port served on, 0 when not serving.
    quint16 port() const { return m_servingPort; }
    QStringList urls() const { return m_urls; }
    QString problem() const { return m_problem; }

signals:
    // A link from the page, unstarted; the receiver takes ownership.
    void newConnection(TDConnection *connection);
    void urlsChanged();
    void problemChanged();

private:
    void listen();
    void takeLinks();
    void refreshUrls();
    void setProblem(const QString &problem);

    std::unique_ptr<WebPageServer> m_server;
    quint16 m_port = defaultPort;
    QHostAddress m_listenAddress = QHostAddress::Any;
    quint16 m_servingPort = 0;
    bool m_wanted = false;
    QStringList m_urls;
    QString m_problem;
    QTimer m_retry;
    QTimer m_addressCheck;
};
