// The catalogue where the platform has no desktop menu: the bundles alone.
#include "catalogue/DesktopApps.h"

namespace DesktopApps {

QList<InstalledApp> addMenuApplications(QList<InstalledApp> bundleApps)
{
    return bundleApps;
}

} // namespace DesktopApps
