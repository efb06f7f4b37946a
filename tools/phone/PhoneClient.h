#pragma once

#include "transport/TDNetworkService.h"

#include <QObject>

#include <functional>

// The phone's end of the link: one outgoing connection whose messages are
// printed as JSON lines.
class PhoneClient : public TDNetworkService {
    Q_OBJECT
public:
    PhoneClient(const QString &host, quint16 port, QObject *parent = nullptr);

    using TDNetworkService::send;
    // Called with every message the desktop sends, in order.
    void onMessage(std::function<void(const TDMessage &)> handler) { m_handler = std::move(handler); }

signals:
    void connected();
    void connectionFailed(const QString &error);

private:
    void awaitNext();
    std::function<void(const TDMessage &)> m_handler;
};
