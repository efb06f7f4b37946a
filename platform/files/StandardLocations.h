#pragma once

#include <QString>
#include <QStringList>

// The per-user folders, read from HOME and the XDG variables on every call so
// that a changed environment (a test's temporary home) takes effect at once.
namespace StandardLocations {

// $HOME.
QString homeDirectory();
// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
QString configDirectory();
// $XDG_CACHE_HOME when it is an absolute path, else $HOME/.cache.
QString cachesDirectory();
// The user's desktop folder: XDG_DESKTOP_DIR from user-dirs.dirs (often a
// translated name), else $HOME/Desktop.
QString desktopDirectory();
// Where applications are installed, in the order they are searched:
// "/Applications", "/System/Applications", "/System/Library/CoreServices" and
// the home directory's "Applications".
QStringList applicationRoots();

} // namespace StandardLocations
