// GLib's headers name struct members "signals": they come before any Qt header.
#include <gio/gdesktopappinfo.h>

#include "platform/freedesktop/DesktopEntries.h"
#include "platform/freedesktop/KeyFile.h"

#include "platform/files/RegularFile.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// kde4/kate.desktop is three levels at most in practice; the cap stops a
// deep or looping tree.
constexpr int maxFolderDepth = 8;
constexpr qint64 maxMimeListBytes = 1024 * 1024;

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

// A key file from a file read here, never by GLib, which would open a FIFO.
GKeyFile *keyFileOf(const QString &path, qint64 maxBytes)
{
    const std::optional<QByteArray> bytes = RegularFile::read(path, maxBytes);
    if (!bytes)
        return nullptr;
    GKeyFile *file = g_key_file_new();
    if (!g_key_file_load_from_data(file, bytes->constData(), gsize(bytes->size()), G_KEY_FILE_NONE, nullptr)) {
        g_key_file_free(file);
        return nullptr;
    }
    return file;
}

struct Found {
    QString id, path;
};

// Entry files below `folder`, by ID; an ID already taken by an earlier
// folder, or earlier in this one, stays with it. Only directories are
// entered (no links to them, which could loop); files are not opened here.
void collect(const QString &folder, const QString &prefix, int depth, QHash<QString, qsizetype> &taken,
             QList<Found> &found)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    while (const dirent *item = ::readdir(dir)) {
        const QString name = QFile::decodeName(item->d_name);
        if (name.startsWith(u'.') && (name == QLatin1String(".") || name == QLatin1String("..")))
            continue;
        const QString path = folder + u'/' + name;
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            if (depth < maxFolderDepth)
                collect(path, prefix + name + u'-', depth + 1, taken, found);
        } else if (name.endsWith(QLatin1String(".desktop")) && found.size() < DesktopEntries::maxEntries) {
            const QString id = prefix + name.chopped(8);
            if (!taken.contains(id)) {
                taken.insert(id, found.size());
                found.append({id, path});
            }
        }
    }
    ::closedir(dir);
}

QString applicationsFolder(const char *dataDirectory)
{
    return QFile::decodeName(dataDirectory) + QStringLiteral("/applications");
}

// The mimeapps.list files in the order they count: the user's configuration,
// the system's, then the data folders; the desktop's own lists first in each.
QStringList mimeListFiles()
{
    QStringList folders{QFile::decodeName(g_get_user_config_dir())};
    for (const gchar *const *dir = g_get_system_config_dirs(); *dir; ++dir)
        folders.append(QFile::decodeName(*dir));
    folders += DesktopEntries::applicationDirectories();
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(u':', Qt::SkipEmptyParts);
    QStringList files;
    for (const QString &folder : folders) {
        for (const QString &desktop : desktops)
            files.append(folder + u'/' + desktop + QStringLiteral("-mimeapps.list"));
        files.append(folder + QStringLiteral("/mimeapps.list"));
    }
    return files;
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

std::optional<DesktopEntry> read(const QString &id, const QString &path)
{
    GKeyFile *file = keyFileOf(path, maxEntryBytes);
    if (!file)
        return std::nullopt;
    // GIO checks the group, Type=Application and TryExec here.
    GDesktopAppInfo *info = g_desktop_app_info_new_from_keyfile(file);
    std::optional<DesktopEntry> entry;
    if (info && !g_desktop_app_info_get_is_hidden(info)) {
        GAppInfo *app = G_APP_INFO(info);
        entry = DesktopEntry{
            .id = id,
            .name = fromUtf8(g_app_info_get_name(app)),
            .icon = keyString(info, G_KEY_FILE_DESKTOP_KEY_ICON),
            .filePath = path,
            .exec = keyString(info, G_KEY_FILE_DESKTOP_KEY_EXEC),
            .tryExec = keyString(info, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC),
            .startupWMClass = fromUtf8(g_desktop_app_info_get_startup_wm_class(info)),
            .mimeTypes = keyFileStringList(file, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_MIME_TYPE),
        };
        entry->dbusActivatable = g_desktop_app_info_get_boolean(info, G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE);
        entry->shown = g_app_info_should_show(app);
    }
    if (info)
        g_object_unref(info);
    g_key_file_free(file);
    return entry;
}

QList<DesktopEntry> allApplications()
{
    QHash<QString, qsizetype> taken;
    QList<Found> found;
    for (const QString &folder : applicationDirectories())
        collect(folder, QString(), 0, taken, found);
    QList<DesktopEntry> entries;
    for (const Found &file : std::as_const(found))
        if (std::optional<DesktopEntry> entry = read(file.id, file.path))
            entries.append(std::move(*entry));
    std::sort(entries.begin(), entries.end(),
              [](const DesktopEntry &a, const DesktopEntry &b) { return a.id < b.id; });
    return entries;
}

std::optional<DesktopEntry> defaultFileManager(const QList<DesktopEntry> &entries)
{
    const char *type = "inode/directory";
    QHash<QString, qsizetype> byId;
    for (qsizetype i = 0; i < entries.size(); ++i)
        byId.insert(entries.at(i).id, i);
    QStringList defaults, added;
    for (const QString &path : mimeListFiles()) {
        if (GKeyFile *file = keyFileOf(path, maxMimeListBytes)) {
            defaults += keyFileStringList(file, "Default Applications", type);
            added += keyFileStringList(file, "Added Associations", type);
            g_key_file_free(file);
        }
    }
    for (QString id : defaults + added) {
        if (id.endsWith(QLatin1String(".desktop")))
            id.chop(8);
        if (const auto it = byId.constFind(id); it != byId.constEnd())
            return entries.at(*it);
    }
    for (const DesktopEntry &entry : entries)
        if (entry.shown && entry.mimeTypes.contains(QLatin1String(type)))
            return entry;
    return std::nullopt;
}

} // namespace DesktopEntries
