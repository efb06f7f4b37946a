#include "platform/freedesktop/SystemdScope.h"

#include "platform/freedesktop/CgroupApplication.h"

#include <QDir>
#include <QFileInfo>

#include <gio/gio.h>

#include <unistd.h>

QString transientScopeName(const QString &desktopId, qint64 pid)
{
    return QStringLiteral("app-tendril-") + QString::fromLatin1(systemdEscape(desktopId))
        + QStringLiteral("-%1.scope").arg(pid);
}

void startInTransientScope(const QString &desktopId, qint64 pid)
{
    // A user manager leaves its private folder in the runtime directory; without
    // it there is nobody to ask, and asking would only start a bus autolaunch.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo(runtime + QStringLiteral("/systemd")).isDir()
        || (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") && !QFileInfo::exists(runtime + QStringLiteral("/bus"))))
        return;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return;
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a(sv)"));
    const guint32 pids[] = {guint32(pid)};
    g_variant_builder_add(&properties, "(sv)", "PIDs",
                          g_variant_new_fixed_array(G_VARIANT_TYPE_UINT32, pids, 1, sizeof(guint32)));
    g_variant_builder_add(&properties, "(sv)", "CollectMode", g_variant_new_string("inactive-or-failed"));
    const QByteArray unit = transientScopeName(desktopId, pid).toUtf8();
    g_dbus_connection_call(bus, "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                           "org.freedesktop.systemd1.Manager", "StartTransientUnit",
                           g_variant_new("(ssa(sv)a(sa(sv)))", unit.constData(), "fail", &properties, nullptr),
                           G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, nullptr, nullptr);
    g_object_unref(bus);
}
