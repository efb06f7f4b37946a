#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// What this machine is called on the network, and the rules that keep other
// web pages away from the web remote: a request must name this machine (so
// a rebound DNS name is refused), and a link must come from the page it
// serves (so no other page, even one open on this desktop, can drive it).
struct LocalHost {
    QStringList names;            // lower case: localhost, the host name, NAME.local
    QList<QHostAddress> addresses; // without scope ids

    // The names and addresses this machine has now.
    static LocalHost current();

    // Whether a Host header ("name", "name:port", "[v6]:port") names this
    // machine on `port`.
    bool isHostHeaderOurs(const QString &hostHeader, quint16 port) const;
};

// Whether a WebSocket's Origin is the page that `hostHeader` served.
bool isOwnPageOrigin(const QString &origin, const QString &hostHeader);

// The addresses a phone can reach the web remote at: not loopback, and
// link-local only when there is nothing else. IPv4 first.
QList<QHostAddress> reachableAddresses(const QList<QHostAddress> &all);
// http://ADDRESS:PORT/ for each.
QStringList webRemoteUrls(const QList<QHostAddress> &addresses, quint16 port);
