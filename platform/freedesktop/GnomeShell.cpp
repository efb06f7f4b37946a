#include "platform/freedesktop/GnomeShell.h"

#include "platform/freedesktop/DBusCall.h"

ActionResult toggleGnomeOverview()
{
    const DBusCall::Target shell{QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                 QStringLiteral("org.gnome.Shell")};
    const QString overviewActive = QStringLiteral("OverviewActive");
    const QDBusConnection bus = QDBusConnection::sessionBus();
    QVariant active;
    if (auto error = DBusCall::property(bus, shell, overviewActive, &active))
        return error;
    return DBusCall::setProperty(bus, shell, overviewActive, !active.toBool());
}
