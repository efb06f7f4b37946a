#pragma once

#include "catalogue/InstalledApp.h"

#include <QList>
#include <QStringList>

struct Bundle;

// Finding the installed applications. Touches no shared state; any thread.
namespace AppScanner {

// "/Applications", "/System/Applications", "/System/Library/CoreServices"
// and the home directory's "Applications", in that order.
QStringList scanRoots();

// The catalogue found under `roots`: the Finder record first, then every
// bundle directly inside a root whose name ends in ".app", the first of each
// bundle identifier winning, ordered by name.
QList<InstalledApp> scan(const QStringList &roots);

// The icon the desktop shows for a bundle: the icon file its Info.plist
// names under Contents/Resources, else the generic icon. Nothing is decoded.
AppIcon iconForBundle(const Bundle &bundle);
AppIcon iconForPath(const QString &bundlePath);

// Locale-aware, case-insensitive, stable; Finder first.
void sortCatalogue(QList<InstalledApp> &apps);

} // namespace AppScanner
