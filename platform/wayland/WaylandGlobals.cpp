#include "platform/wayland/WaylandGlobals.h"

#include <wayland-client.h>

namespace {

void announce(void *names, wl_registry *, uint32_t, const char *interface, uint32_t)
{
    static_cast<QStringList *>(names)->append(QString::fromLatin1(interface));
}

void withdraw(void *, wl_registry *, uint32_t) {}

const wl_registry_listener registryListener{announce, withdraw};

} // namespace

std::optional<QStringList> waylandGlobals()
{
    // libwayland would otherwise try "wayland-0" on its own.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::nullopt;
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return std::nullopt;
    QStringList names;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &names);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!answered)
        return std::nullopt;
    return names;
}

bool offersDataControl(const QStringList &globals)
{
    return globals.contains(QStringLiteral("zwlr_data_control_manager_v1"))
        || globals.contains(QStringLiteral("ext_data_control_manager_v1"));
}
