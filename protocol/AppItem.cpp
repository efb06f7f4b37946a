#include "protocol/AppItem.h"

#include <QHashFunctions>

size_t qHash(const AppItem &item, size_t seed) noexcept
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, item.id);
    seed = combine(seed, item.bundleIdentifier);
    seed = combine(seed, item.displayName);
    seed = combine(seed, item.iconData.has_value() ? 1 : 0);
    if (item.iconData)
        seed = combine(seed, *item.iconData);
    seed = combine(seed, item.gridIndex);
    seed = combine(seed, item.isRunning);
    seed = combine(seed, item.isFrontmost);
    seed = combine(seed, item.wasLastUsed);
    return seed;
}
