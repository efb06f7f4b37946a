#include "transport/PeerAddress.h"

QString peerAddressText(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4).toString() : address.toString();
}

std::optional<QString> normalizedAddressText(const QString &text)
{
    QHostAddress address;
    if (text.trimmed() != text || !address.setAddress(text))
        return std::nullopt;
    return peerAddressText(address);
}
