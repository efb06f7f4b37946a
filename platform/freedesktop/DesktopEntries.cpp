// GLib's headers name struct members "signals": they come before any Qt header.
#include <gio/gdesktopappinfo.h>

#include "platform/freedesktop/DesktopEntries.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Real entries, translations included, stay far below this; a larger file is
// not an application's entry and could carry names nobody can show.
constexpr qint64 maxEntryBytes = 1024 * 1024;

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString keyString(GDesktopAppInfo *info, const char *key)
{
    gchar *value = g_desktop_app_info_get_string(info, key);
    const QString text = fromUtf8(value);
    g_free(value);
    return text;
}

std::optional<DesktopEntry> entryOf(GAppInfo *app)
{
    if (!app || !G_IS_DESKTOP_APP_INFO(app))
        return std::nullopt;
    GDesktopAppInfo *info = G_DESKTOP_APP_INFO(app);
    QString id = fromUtf8(g_app_info_get_id(app));
    const char *file = g_desktop_app_info_get_filename(info);
    if (id.isEmpty() || !file)
        return std::nullopt;
    const QString filePath = QFile::decodeName(file);
    if (QFileInfo(filePath).size() > maxEntryBytes)
        return std::nullopt;
    if (id.endsWith(QLatin1String(".desktop")))
        id.chop(8);
    DesktopEntry entry{id, fromUtf8(g_app_info_get_name(app)),
                       keyString(info, G_KEY_FILE_DESKTOP_KEY_ICON), filePath};
    entry.exec = keyString(info, G_KEY_FILE_DESKTOP_KEY_EXEC);
    entry.tryExec = keyString(info, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC);
    entry.startupWMClass = fromUtf8(g_desktop_app_info_get_startup_wm_class(info));
    entry.dbusActivatable = g_desktop_app_info_get_boolean(info, G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE);
    entry.shown = g_app_info_should_show(app);
    return entry;
}

QString applicationsFolder(const char *dataDirectory)
{
    return QFile::decodeName(dataDirectory) + QStringLiteral("/applications");
}

} // namespace

namespace DesktopEntries {

QStringList applicationDirectories()
{
    // The same values GIO scans: GLib reads the variables once per process.
    QStringList folders{applicationsFolder(g_get_user_data_dir())};
    for (const gchar *const *dir = g_get_system_data_dirs(); *dir; ++dir)
        folders.append(applicationsFolder(*dir));
    folders.removeDuplicates();
    return folders;
}

QList<DesktopEntry> allApplications()
{
    QList<DesktopEntry> entries;
    GList *all = g_app_info_get_all();
    for (GList *item = all; item; item = item->next) {
        if (std::optional<DesktopEntry> entry = entryOf(G_APP_INFO(item->data)))
            entries.append(*entry);
    }
    g_list_free_full(all, g_object_unref);
    // GIO's order is a hash table's; this one is the same on every run.
    std::sort(entries.begin(), entries.end(),
              [](const DesktopEntry &a, const DesktopEntry &b) { return a.id < b.id; });
    return entries;
}

QList<DesktopEntry> shownApplications()
{
    QList<DesktopEntry> entries = allApplications();
    entries.removeIf([](const DesktopEntry &entry) { return !entry.shown; });
    return entries;
}

std::optional<DesktopEntry> defaultFileManager()
{
    GAppInfo *app = g_app_info_get_default_for_type("inode/directory", FALSE);
    std::optional<DesktopEntry> entry = entryOf(app);
    if (app)
        g_object_unref(app);
    return entry;
}

} // namespace DesktopEntries
