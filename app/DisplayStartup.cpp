#include "app/DisplayStartup.h"

#include "platform/freedesktop/DesktopSession.h"
#include "platform/wayland/WlClipboardPasteboard.h"

DisplayStartup::DisplayStartup()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("wayland"))
        return; // the user chose; Qt will not speak Wayland
    const DesktopSession &session = DesktopSession::current();
    if (!session.wayland)
        return;
    const bool dataControl = session.dataControl && WlClipboardPasteboard::isAvailable();
    if (platform.isEmpty() && !dataControl && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        set("QT_QPA_PLATFORM", "xcb");
        return;
    }
    // Only Qt's own Wayland text input (no module asked for) needs the seat.
    if (!session.waylandGlobals.contains(QStringLiteral("wl_seat")) && !qEnvironmentVariableIsSet("QT_IM_MODULE"))
        set("QT_IM_MODULE", "none"); // no such module: Qt makes no input context
}

void DisplayStartup::set(const char *name, const QByteArray &value)
{
    m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
    qputenv(name, value);
}

void DisplayStartup::restoreEnvironment()
{
    for (const Saved &saved : std::as_const(m_saved))
        saved.value ? qputenv(saved.name, *saved.value) : qunsetenv(saved.name);
    m_saved.clear();
}
