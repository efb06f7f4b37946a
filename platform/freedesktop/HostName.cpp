#include "platform/freedesktop/HostName.h"

#include "platform/freedesktop/DBusCall.h"

std::optional<QString> hostname1Name()
{
    const DBusCall::Target hostname1{QStringLiteral("org.freedesktop.hostname1"),
                                     QStringLiteral("/org/freedesktop/hostname1"),
                                     QStringLiteral("org.freedesktop.hostname1")};
    const QDBusConnection bus = QDBusConnection::systemBus();
    for (const QString &property : {QStringLiteral("PrettyHostname"), QStringLiteral("StaticHostname")}) {
        QVariant value;
        if (DBusCall::property(bus, hostname1, property, &value))
            return std::nullopt; // no service: the same answer for the other property
        const QString name = value.toString().trimmed();
        if (!name.isEmpty())
            return name;
    }
    return std::nullopt;
}
