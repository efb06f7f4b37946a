#pragma once

#include "transport/TDNetworkService.h"

#include <QObject>

// The phone's end of the link: one outgoing connection whose messages are
// printed as JSON lines.
class PhoneClient : public TDNetworkService {
    Q_OBJECT
public:
    PhoneClient(const QString &host, quint16 port, QObject *parent = nullptr);

    using TDNetworkService::send;

signals:
    void connected();
    void connectionFailed(const QString &error);
    void received(const TDMessage &message);

private:
    void awaitNext();
};
