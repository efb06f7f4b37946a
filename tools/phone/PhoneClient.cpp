#include "tools/phone/PhoneClient.h"

PhoneClient::PhoneClient(const QString &host, quint16 port, QObject *parent)
    : TDNetworkService(parent)
{
    auto *link = new TDConnection(host, port);
    setConnection(link);
    connect(link, &TDConnection::stateChanged, this,
            [this, link](TDConnection::State state, const QString &error) {
                if (link != connection())
                    return;
                if (state == TDConnection::State::ready) {
                    setIsConnected(true);
                    receiveNext();
                    emit connected();
                } else if (state == TDConnection::State::failed
                           || state == TDConnection::State::cancelled) {
                    setIsConnected(false);
                    emit connectionFailed(error);
                }
            });
    awaitNext();
    link->start();
}

void PhoneClient::awaitNext()
{
    messages()->next(this, [this](TDMessage message) {
        if (m_handler)
            m_handler(message);
        awaitNext();
    });
}
