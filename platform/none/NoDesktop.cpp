#include "platform/none/NoDesktop.h"

#include "platform/bundles/BundleIndex.h"
#include "platform/files/StandardLocations.h"

#include <QDebug>
#include <QSysInfo>

QString noDesktopReason(const QString &what)
{
    return QStringLiteral("%1 needs a desktop, and this build has none").arg(what);
}

std::optional<QString> NoApplicationServices::urlForApplication(const QString &bundleIdentifier)
{
    return BundleIndex::shared().pathFor(bundleIdentifier, StandardLocations::applicationRoots());
}

void NoApplicationServices::openApplication(const QString &,
                                            std::function<void(ActionResult error)> completion)
{
    completion(noDesktopReason(QStringLiteral("Opening an application")));
}

ActionResult NoApplicationServices::windowSteeringUnavailable()
{
    return noDesktopReason(QStringLiteral("Steering windows"));
}

ActionResult NoDesktopActions::lockScreen() { return noDesktopReason(QStringLiteral("Locking the screen")); }
ActionResult NoDesktopActions::emptyTrash() { return noDesktopReason(QStringLiteral("Emptying the trash")); }
ActionResult NoDesktopActions::toggleDarkMode() { return noDesktopReason(QStringLiteral("Dark mode")); }
ActionResult NoDesktopActions::showDesktop() { return noDesktopReason(QStringLiteral("Showing the desktop")); }
ActionResult NoDesktopActions::overview() { return noDesktopReason(QStringLiteral("The overview")); }

ActionResult NoDesktopActions::setOutputVolume(int)
{
    return noDesktopReason(QStringLiteral("Setting the volume"));
}

ActionResult NoDesktopActions::minimize(const RunningApplication &)
{
    return noDesktopReason(QStringLiteral("Minimising windows"));
}

ActionResult NoScreenCapture::capture(const QString &)
{
    return noDesktopReason(QStringLiteral("A screenshot"));
}

void NoServiceAdvertiser::advertise(const QString &name, const QString &type, const QString &, quint16 port)
{
    if (m_warned)
        return;
    m_warned = true;
    qWarning().noquote() << QStringLiteral("Cannot advertise %1 (%2) on port %3: this build has no DNS-SD; "
                                           "phones must connect by address")
                                .arg(name, type)
                                .arg(port);
}

QString HostComputerName::localizedName()
{
    return QSysInfo::machineHostName();
}
