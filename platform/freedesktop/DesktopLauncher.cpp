#include "platform/freedesktop/DesktopLauncher.h"

#include "platform/freedesktop/DesktopEntryIndex.h"
#include "platform/freedesktop/SystemdScope.h"

#include <QFileInfo>

#include <gio/gdesktopappinfo.h>

std::optional<QString> launchDesktopEntry(const QString &desktopFile)
{
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(desktopFile.toUtf8().constData());
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
    std::optional<QString> result;
    if (!launched)
        result = error ? QString::fromUtf8(error->message) : QStringLiteral("%1 could not be started").arg(desktopFile);
    if (error)
        g_error_free(error);
    g_object_unref(context);
    g_object_unref(info);
    return result;
}
