#include "app/DisplayStartup.h"

#include "platform/wayland/WaylandGlobals.h"


DisplayStartup::DisplayStartup()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("wayland"))
        return; // the user chose; Qt will not speak Wayland
    const std::optional<QStringList> globals = waylandGlobals();
    if (!globals)
        return;
    if (platform.isEmpty() && !offersDataControl(*globals) && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        set("QT_QPA_PLATFORM", "xcb");
        return;
    }
    if (!globals->contains(QStringLiteral("wl_seat")))
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
