#include "platform/freedesktop/DesktopLauncher.h"

#include "platform/files/RegularFile.h"
#include "platform/freedesktop/DesktopEntryIndex.h"
#include "platform/freedesktop/SystemdScope.h"

#include <QFileInfo>

#include <gio/gdesktopappinfo.h>

namespace {

// Read here with a cap, not by GLib: the file may have become a FIFO since
// the entries were read.
GDesktopAppInfo *appInfoOf(const QString &desktopFile)
{
    const std::optional<QByteArray> bytes = RegularFile::read(desktopFile, DesktopEntries::maxEntryBytes);
    if (!bytes)
        return nullptr;
    GKeyFile *file = g_key_file_new();
    GDesktopAppInfo *info = nullptr;
    if (g_key_file_load_from_data(file, bytes->constData(), gsize(bytes->size()), G_KEY_FILE_NONE, nullptr))
        info = g_desktop_app_info_new_from_keyfile(file);
    g_key_file_free(file);
    return info;
}

} // namespace

ActionResult launchDesktopEntry(const QString &desktopFile)
{
    GDesktopAppInfo *info = appInfoOf(desktopFile);
    if (!info)
        return QStringLiteral("%1 is not a usable desktop entry").arg(desktopFile);
    // Loaded from a file, the entry does not know its ID; the installed entries do.
    QString desktopId = QFileInfo(desktopFile).completeBaseName();
    const std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryCache::shared().entries();
    if (const DesktopEntry *entry = entries->byPath(desktopFile))
        desktopId = entry->id;

    GAppLaunchContext *context = g_app_launch_context_new();
    GError *error = nullptr;
    const gboolean launched = g_desktop_app_info_launch_uris_as_manager(
        info, nullptr, context, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
        [](GDesktopAppInfo *, GPid pid, gpointer id) {
            startInTransientScope(*static_cast<const QString *>(id), pid);
        },
        &desktopId, &error);
    ActionResult result;
    if (!launched)
        result = error ? QString::fromUtf8(error->message) : QStringLiteral("%1 could not be started").arg(desktopFile);
    if (error)
        g_error_free(error);
    g_object_unref(context);
    g_object_unref(info);
    return result;
}
