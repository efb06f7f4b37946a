#include "platform/unavailable/UnavailableWindowControl.h"

#include "platform/freedesktop/DesktopShell.h"

UnavailableWindowControl::UnavailableWindowControl(QString reason) : m_reason(std::move(reason)) {}

QString UnavailableWindowControl::waylandReason()
{
    return QStringLiteral("this Wayland compositor offers no way");
}

QString UnavailableWindowControl::noDisplayReason()
{
    return QStringLiteral("no X display");
}

ActionResult UnavailableWindowControl::unavailable()
{
    if (m_reason == waylandReason())
        return QStringLiteral("Wayland lets no program hide or minimise the windows of another application");
    return m_reason;
}

ActionResult UnavailableWindowControl::toggleShowingDesktop()
{
    const ActionResult kwin = invokeKWinShortcut(QStringLiteral("Show Desktop"));
    if (!kwin)
        return std::nullopt;
    return QStringLiteral("Cannot show the desktop: %1; KWin: %2").arg(m_reason, *kwin);
}

ActionResult UnavailableWindowControl::toggleOverview()
{
    return toggleShellOverview();
}
