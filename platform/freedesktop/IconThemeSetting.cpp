// GLib's headers name struct members "signals": they come before any Qt header.
#include <gio/gio.h>

#include "platform/freedesktop/IconTheme.h"
#include "platform/files/StandardLocations.h"

#include <QSettings>

#include <optional>

namespace {

std::optional<QString> usable(const QString &value)
{
    const QString name = value.trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1String("..")))
        return std::nullopt;
    return name;
}

// KDE reads kdeglobals from the user's config folder, then the system's.
std::optional<QString> kdeTheme()
{
    QStringList folders{StandardLocations::configDirectory()};
    const QString system = qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    folders += system.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &folder : folders) {
        const QSettings globals(folder + QStringLiteral("/kdeglobals"), QSettings::IniFormat);
        if (auto name = usable(globals.value(QStringLiteral("Icons/Theme")).toString()))
            return name;
    }
    return std::nullopt;
}

std::optional<QString> gnomeTheme()
{
    // GSettings aborts on a schema that is not installed, so ask first.
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    if (!source)
        return std::nullopt;
    GSettingsSchema *schema = g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
    if (!schema)
        return std::nullopt;
    std::optional<QString> name;
    if (g_settings_schema_has_key(schema, "icon-theme")) {
        GSettings *settings = g_settings_new_full(schema, nullptr, nullptr);
        gchar *value = g_settings_get_string(settings, "icon-theme");
        name = usable(QString::fromUtf8(value));
        g_free(value);
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return name;
}

bool onKde()
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive);
}

} // namespace

QString IconTheme::userThemeName()
{
    if (onKde())
        return kdeTheme().value_or(QStringLiteral("breeze"));
    if (auto name = gnomeTheme())
        return *name;
    return kdeTheme().value_or(QStringLiteral("hicolor"));
}
