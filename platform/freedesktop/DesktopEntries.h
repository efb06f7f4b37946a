#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One application that the desktop's menu shows, read from its desktop entry.
struct DesktopEntry {
    QString id;       // the desktop-file ID without ".desktop": "org.gnome.Calculator", "kde4-kate"
    QString name;     // Name in the user's language, escapes decoded
    QString icon;     // the Icon key as written: a theme icon name, an absolute path, or empty
    QString filePath; // the .desktop file
    QString exec;     // the Exec and TryExec keys as written
    QString tryExec;
    QString startupWMClass;
    bool dbusActivatable = false;
    bool shown = true; // whether the menu shows it (NoDisplay, OnlyShowIn, ...)
};

// The desktop entries of $XDG_DATA_HOME and $XDG_DATA_DIRS, read through GIO,
// which applies the menu rules: the first folder holding an ID wins, Hidden
// masks it, only Type=Application, NoDisplay, OnlyShowIn/NotShowIn against
// $XDG_CURRENT_DESKTOP, TryExec. GIO reads the XDG variables once per process.
// Any thread.
namespace DesktopEntries {

// Where entries are looked for, in order: $XDG_DATA_HOME/applications, then
// each $XDG_DATA_DIRS/applications.
QStringList applicationDirectories();

// Every application entry, shown or not, ordered by ID.
QList<DesktopEntry> allApplications();

// Every entry the menu shows, ordered by ID.
QList<DesktopEntry> shownApplications();

// The entry that opens folders ("inode/directory"), if one is set up.
std::optional<DesktopEntry> defaultFileManager();

} // namespace DesktopEntries
