// GIO's headers name a struct member "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "platform/freedesktop/ColorScheme.h"

#include "platform/freedesktop/ChildProcess.h"
#include "platform/freedesktop/DBusCall.h"

#include <QDBusVariant>

namespace {

const char gnomeSchema[] = "org.gnome.desktop.interface";
const char gnomeKey[] = "color-scheme";

// 1 is "prefer dark" in the portal's appearance namespace.
std::optional<bool> portalPrefersDark(QString *error)
{
    const DBusCall::Target settings{QStringLiteral("org.freedesktop.portal.Desktop"),
                                    QStringLiteral("/org/freedesktop/portal/desktop"),
                                    QStringLiteral("org.freedesktop.portal.Settings")};
    QVariantList reply;
    if (auto failure = DBusCall::call(QDBusConnection::sessionBus(), settings, QStringLiteral("Read"),
                                      {QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme")},
                                      &reply)) {
        *error = *failure;
        return std::nullopt;
    }
    // Read wraps the value in one variant more than its signature says.
    QVariant value = reply.value(0);
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt() == 1;
}

bool desktopIs(const char *name)
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    return desktops.contains(QLatin1String(name), Qt::CaseInsensitive);
}

ActionResult switchGnome(std::optional<bool> dark)
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *schema = source ? g_settings_schema_source_lookup(source, gnomeSchema, TRUE) : nullptr;
    if (!schema || !g_settings_schema_has_key(schema, gnomeKey)) {
        if (schema)
            g_settings_schema_unref(schema);
        return QStringLiteral("Cannot switch dark mode: GNOME's %1 %2 setting is not installed")
            .arg(QLatin1String(gnomeSchema), QLatin1String(gnomeKey));
    }
    GSettings *settings = g_settings_new_full(schema, nullptr, nullptr);
    if (!dark) {
        gchar *current = g_settings_get_string(settings, gnomeKey);
        dark = qstrcmp(current, "prefer-dark") == 0;
        g_free(current);
    }
    const bool written = g_settings_set_string(settings, gnomeKey, *dark ? "default" : "prefer-dark");
    g_settings_sync();
    g_object_unref(settings);
    g_settings_schema_unref(schema);
    if (!written)
        return QStringLiteral("Cannot switch dark mode: the colour-scheme setting is read-only");
    return std::nullopt;
}

} // namespace

ActionResult toggleColorScheme()
{
    QString portalError;
    const std::optional<bool> dark = portalPrefersDark(&portalError);
    if (desktopIs("GNOME"))
        return switchGnome(dark);
    if (desktopIs("KDE")) {
        if (!dark)
            return QStringLiteral("Cannot read the colour scheme: %1").arg(portalError);
        if (auto error = runChildProcess(QStringLiteral("plasma-apply-colorscheme"),
                                         {*dark ? QStringLiteral("BreezeLight") : QStringLiteral("BreezeDark")}))
            return QStringLiteral("Cannot switch dark mode: %1").arg(*error);
        return std::nullopt;
    }
    return QStringLiteral("Cannot switch dark mode: this desktop (%1) offers no colour-scheme setting")
        .arg(qEnvironmentVariable("XDG_CURRENT_DESKTOP", QStringLiteral("unknown")));
}
