#include "platform/freedesktop/DesktopSession.h"

#include "platform/wayland/WaylandGlobals.h"

namespace {

bool anyStartsWith(const QStringList &names, QLatin1String prefix)
{
    return std::any_of(names.begin(), names.end(), [&](const QString &name) { return name.startsWith(prefix); });
}

// The compositor, by the globals only it announces; else by the desktop's name.
DesktopSession::WindowControl compositorOf(const QStringList &globals, const QStringList &desktops)
{
    if (anyStartsWith(globals, QLatin1String("org_kde_kwin_")) || globals.contains(QStringLiteral("org_kde_plasma_shell")))
        return DesktopSession::WindowControl::kwin;
    if (globals.contains(QStringLiteral("gtk_shell1")))
        return DesktopSession::WindowControl::gnomeShell;
    if (globals.isEmpty() && desktops.contains(QStringLiteral("KDE")))
        return DesktopSession::WindowControl::kwin;
    if (globals.isEmpty() && desktops.contains(QStringLiteral("GNOME")))
        return DesktopSession::WindowControl::gnomeShell;
    return DesktopSession::WindowControl::unavailable;
}

} // namespace

DesktopSession DesktopSession::describe(const Facts &facts)
{
    DesktopSession session;
    session.x11Display = facts.x11Display;
    session.wayland = facts.waylandGlobals.has_value();
    session.waylandGlobals = facts.waylandGlobals.value_or(QStringList());
    session.dataControl = offersDataControl(session.waylandGlobals);
    const QStringList desktops = facts.currentDesktop.split(u':', Qt::SkipEmptyParts);
    if (session.wayland)
        session.windowControl = compositorOf(session.waylandGlobals, desktops);
    else if (facts.sessionType == QStringLiteral("wayland"))
        // The Wayland display is out of reach; an X display here is XWayland's,
        // which lists only some windows. The compositor may still answer on the bus.
        session.windowControl = compositorOf({}, desktops);
    else if (facts.x11Display)
        session.windowControl = WindowControl::x11;
    return session;
}

const DesktopSession &DesktopSession::current()
{
    static const DesktopSession session = describe({qEnvironmentVariable("XDG_SESSION_TYPE"),
                                                    qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                                    !qEnvironmentVariableIsEmpty("DISPLAY"), ::waylandGlobals()});
    return session;
}
