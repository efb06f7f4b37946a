#include "platform/files/StandardLocations.h"

#include <QDir>
#include <QStandardPaths>

namespace {

// Relative XDG values are invalid and must be ignored.
QString xdgDirectory(const char *variable, const QString &fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return StandardLocations::homeDirectory() + QLatin1Char('/') + fallbackUnderHome;
}

} // namespace

namespace StandardLocations {

QString homeDirectory()
{
    // QDir::homePath() reads HOME afresh each time.
    return QDir::homePath();
}

QString configDirectory()
{
    return xdgDirectory("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString cachesDirectory()
{
    return xdgDirectory("XDG_CACHE_HOME", QStringLiteral(".cache"));
}

QString desktopDirectory()
{
    // Qt reads $XDG_CONFIG_HOME/user-dirs.dirs afresh on each call.
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QStringList applicationRoots()
{
    return {
        QStringLiteral("/Applications"),
        QStringLiteral("/System/Applications"),
        QStringLiteral("/System/Library/CoreServices"),
        homeDirectory() + QStringLiteral("/Applications"),
    };
}

} // namespace StandardLocations
