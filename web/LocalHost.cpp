#include "web/LocalHost.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QUrl>

#include <algorithm>

namespace {

QHostAddress withoutScope(QHostAddress address)
{
    address.setScopeId(QString());
    return address;
}

} // namespace

LocalHost LocalHost::current()
{
    LocalHost host;
    host.names << QStringLiteral("localhost");
    const QString name = QHostInfo::localHostName().toLower();
    if (!name.isEmpty())
        host.names << name << name + QStringLiteral(".local");
    for (const QHostAddress &address : QNetworkInterface::allAddresses())
        host.addresses << withoutScope(address);
    return host;
}

bool LocalHost::isHostHeaderOurs(const QString &hostHeader, quint16 port) const
{
    // Parsed as an authority: anything beyond host and port is refused.
    const QUrl url(QStringLiteral("http://") + hostHeader, QUrl::StrictMode);
    if (!url.isValid() || hostHeader.isEmpty() || !url.userInfo().isEmpty() || !url.path().isEmpty()
        || url.hasQuery() || url.hasFragment() || url.port(80) != port)
        return false;
    const QString hostName = url.host().toLower();
    QHostAddress address;
    if (address.setAddress(hostName))
        return addresses.contains(withoutScope(address));
    return names.contains(hostName);
}

bool isOwnPageOrigin(const QString &origin, const QString &hostHeader)
{
    return !hostHeader.isEmpty()
           && origin.compare(QStringLiteral("http://") + hostHeader, Qt::CaseInsensitive) == 0;
}

QList<QHostAddress> reachableAddresses(const QList<QHostAddress> &all)
{
    QList<QHostAddress> routable, linkLocal;
    for (const QHostAddress &address : all) {
        if (address.isLoopback() || address.isNull() || address.isMulticast())
            continue;
        (address.isLinkLocal() ? linkLocal : routable) << address;
    }
    QList<QHostAddress> chosen = routable.isEmpty() ? linkLocal : routable;
    std::stable_sort(chosen.begin(), chosen.end(), [](const QHostAddress &a, const QHostAddress &b) {
        return a.protocol() == QAbstractSocket::IPv4Protocol
               && b.protocol() != QAbstractSocket::IPv4Protocol;
    });
    return chosen;
}

QStringList webRemoteUrls(const QList<QHostAddress> &addresses, quint16 port)
{
    QStringList urls;
    for (const QHostAddress &address : addresses) {
        QUrl url;
        url.setScheme(QStringLiteral("http"));
        url.setHost(withoutScope(address).toString());
        url.setPort(port);
        url.setPath(QStringLiteral("/"));
        urls << url.toString();
    }
    return urls;
}
