#pragma push_macro("signals")
#undef signals
#include <gio/gunixmounts.h>
#pragma pop_macro("signals")

#include "platform/freedesktop/Trash.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString homeTrash()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/Trash");
}

bool isRealFolder(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isStickyFolder(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && (status.st_mode & S_ISVTX);
}

int removeEntries(const QString &folder)
{
    int failures = 0;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // removeRecursively removes links inside the folder, never their targets.
        const bool removed = entry.isDir() && !entry.isSymLink()
            ? QDir(entry.filePath()).removeRecursively()
            : QFile::remove(entry.filePath());
        if (!removed)
            ++failures;
    }
    return failures;
}

} // namespace

QStringList mountedVolumes()
{
    QStringList tops;
    GList *mounts = g_unix_mounts_get(nullptr);
    for (GList *item = mounts; item; item = item->next) {
        auto *mount = static_cast<GUnixMountEntry *>(item->data);
        // Every mount: GIO calls tmpfs and the like internal, yet users trash there too.
        tops.append(QFile::decodeName(g_unix_mount_get_mount_path(mount)));
        g_unix_mount_free(mount);
    }
    g_list_free(mounts);
    tops.removeDuplicates(); // a folder mounted over twice
    return tops;
}

QStringList trashFolders(const QStringList &volumes)
{
    QStringList folders{homeTrash()};
    const QString uid = QString::number(::getuid());
    for (QString top : volumes) {
        if (top.endsWith(u'/'))
            top.chop(1);
        if (isStickyFolder(top + QStringLiteral("/.Trash")))
            folders.append(top + QStringLiteral("/.Trash/") + uid);
        folders.append(top + QStringLiteral("/.Trash-") + uid);
    }
    folders.removeDuplicates();
    return folders;
}

ActionResult emptyTrashFolders(const QStringList &folders)
{
    int failures = 0;
    for (const QString &trash : folders) {
        if (!isRealFolder(trash))
            continue; // missing, or a link that could lead anywhere
        for (const QString &sub : {QStringLiteral("/files"), QStringLiteral("/info")})
            if (isRealFolder(trash + sub))
                failures += removeEntries(trash + sub);
        QFile::remove(trash + QStringLiteral("/directorysizes")); // a cache of what was just removed
    }
    if (failures)
        return QStringLiteral("Cannot empty the trash: %1 item(s) could not be removed").arg(failures);
    return std::nullopt;
}
