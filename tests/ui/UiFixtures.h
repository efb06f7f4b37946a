#pragma once

#include "tests/catalogue/CatalogueFixtures.h"

#include <QStringList>

class MacAppStore;

// NAME.app under `root` naming `bundleID` and `name`, with a PNG icon of
// `iconSide` when that is above 0. Returns the bundle path.
QString makeAppBundle(const QString &root, const QString &name, const QString &bundleID, int iconSide);

// A recognisable square icon: a coloured rounded square with a letter.
QImage sampleIcon(const QString &name, int side);

// Fills `root` with `count` bundles of plausible application names, no two
// alike, as com.example.<name>.
void makeCatalogue(const QString &root, int count, int iconSide);

// Toggles the selection of each app with one of these names, in this order.
void toggleApps(MacAppStore &store, const QStringList &names);

// Runs the event loop until the store's scan has been published.
bool waitForCatalogue(MacAppStore &store, int timeoutMs = 10000);
