#pragma once

#include "catalogue/InstalledApp.h"

#include <QImage>
#include <QUrl>
#include <QUuid>

class AppIconProvider;

// Where the models get their icon images: the catalogue's lazily decoded
// icons and the selection's PNG bytes, both handed to the provider.
namespace AppIcons {

bool hasIcon(const InstalledApp &app);
// Registers the app's icon with `provider` and gives its image URL, clipped
// for a 36-point square with radius 8. Empty without an icon or provider.
QUrl installedIconUrl(const InstalledApp &app, AppIconProvider *provider);
// The same for a decoded selection icon: a 38-point square with radius 10.
QUrl selectedIconUrl(const QUuid &itemId, const QImage &image, AppIconProvider *provider);
// Drops a selection icon that no row shows any more.
void forgetSelectedIcon(const QUuid &itemId, AppIconProvider *provider);

} // namespace AppIcons
