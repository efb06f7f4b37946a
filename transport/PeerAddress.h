#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

// An address as the user reads and the settings store it: IPv4 peers that a
// dual-stack listener reports as IPv4-mapped IPv6 are written as IPv4.
QString peerAddressText(const QHostAddress &address);

// The same form for an address the user or the settings file wrote; none
// when the text is not an address.
std::optional<QString> normalizedAddressText(const QString &text);
