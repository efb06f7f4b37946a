#include "platform/freedesktop/KWin.h"

#include "platform/freedesktop/DBusCall.h"

ActionResult invokeKWinShortcut(const QString &name)
{
    const DBusCall::Target kwin{QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/component/kwin"),
                                QStringLiteral("org.kde.kglobalaccel.Component")};
    return DBusCall::call(QDBusConnection::sessionBus(), kwin, QStringLiteral("invokeShortcut"), {name});
}
