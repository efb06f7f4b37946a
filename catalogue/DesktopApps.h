#pragma once

#include "catalogue/InstalledApp.h"

#include <QList>
#include <QStringList>

#include <optional>

struct DesktopEntry;
class IconTheme;

// The applications of the desktop menu as catalogue records, beside the
// bundle scan. Touches no shared state; any thread.
namespace DesktopApps {

// The folders desktop entries are read from.
QStringList entryFolders();

// bundleID = the entry's ID, path = the .desktop file, the icon looked up in
// `theme` (the generic icon when nothing usable is found).
InstalledApp fromEntry(const DesktopEntry &entry, IconTheme &theme);

// The catalogue from the bundle scan's result (its fixed first record, then
// the bundles) and the menu's applications: an ID already there is not added
// again; when the first record's bundle is not installed and there is a file
// manager, the file manager takes the first place, listed once. Everything
// after the first record is ordered by name.
QList<InstalledApp> merge(QList<InstalledApp> bundleApps, bool firstRecordInstalled,
                          const QList<InstalledApp> &menuApps, const std::optional<InstalledApp> &fileManager);

// merge() over this machine's desktop entries and icon theme.
QList<InstalledApp> addMenuApplications(QList<InstalledApp> bundleApps);

} // namespace DesktopApps
