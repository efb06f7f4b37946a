#include "catalogue/DesktopApps.h"

#include "catalogue/AppScanner.h"
#include "catalogue/IconCache.h"
#include "platform/bundles/BundleReader.h"
#include "platform/freedesktop/DesktopEntryIndex.h"
#include "platform/freedesktop/IconTheme.h"

#include <QSet>

namespace DesktopApps {

QStringList entryFolders()
{
    return DesktopEntries::applicationDirectories();
}

InstalledApp fromEntry(const DesktopEntry &entry, IconTheme &theme)
{
    // The icon file is only located here; it is decoded when first drawn.
    const QString iconFile = theme.locate(entry.icon, IconCache::renderedSide);
    return {QUuid::createUuid(), entry.id, entry.name, AppIcon::fromFile(iconFile), entry.filePath};
}

QList<InstalledApp> merge(QList<InstalledApp> bundleApps, bool firstRecordInstalled,
                          const QList<InstalledApp> &menuApps, const std::optional<InstalledApp> &fileManager)
{
    QList<InstalledApp> apps = std::move(bundleApps);
    if (apps.isEmpty())
        return apps;
    InstalledApp first = apps.takeFirst();
    if (!firstRecordInstalled && fileManager)
        first = *fileManager;

    QSet<QString> seen{first.bundleID};
    QList<InstalledApp> rest;
    for (const InstalledApp &app : std::as_const(apps) + menuApps) {
        if (!seen.contains(app.bundleID)) {
            seen.insert(app.bundleID);
            rest.append(app);
        }
    }
    AppScanner::sortCatalogue(rest);
    rest.prepend(first);
    return rest;
}

QList<InstalledApp> addMenuApplications(QList<InstalledApp> bundleApps)
{
    IconTheme theme(IconTheme::userThemeName());
    QSet<QString> bundleIDs;
    for (const InstalledApp &app : std::as_const(bundleApps))
        bundleIDs.insert(app.bundleID);
    // The pass that reads the entries for the catalogue is the one the
    // running-application matching and launching use.
    const std::shared_ptr<const DesktopEntryIndex> entries = DesktopEntryCache::shared().load();
    QList<InstalledApp> menuApps;
    for (const DesktopEntry &entry : entries->all()) {
        // As for bundles: a duplicate costs no icon lookup.
        if (entry.shown && !bundleIDs.contains(entry.id))
            menuApps.append(fromEntry(entry, theme));
    }
    std::optional<InstalledApp> fileManager;
    if (const DesktopEntry *entry = entries->fileManager())
        fileManager = fromEntry(*entry, theme);
    const bool firstInstalled = !bundleApps.isEmpty() && openBundle(bundleApps.first().path).has_value();
    return merge(std::move(bundleApps), firstInstalled, menuApps, fileManager);
}

} // namespace DesktopApps
