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
    QStringList mimeTypes;
    bool dbusActivatable = false;
    bool shown = true; // whether the menu shows it (NoDisplay, OnlyShowIn, ...)
};

// The desktop entries of $XDG_DATA_HOME and $XDG_DATA_DIRS. The folders are
// walked here, not by GIO, which opens every file it finds: a FIFO named
// "*.desktop" would block it for good. Each file is read with a size cap and
// handed to GIO as a key file, which applies the menu rules: Hidden, only
// Type=Application, NoDisplay, OnlyShowIn/NotShowIn against
// $XDG_CURRENT_DESKTOP, TryExec, the localized Name. The first folder holding
// an ID wins, whatever that file holds. Reads files: not for the main thread.
namespace DesktopEntries {

// Real entries, translations included, stay far below this; a larger file is
// not an application's entry.
constexpr qint64 maxEntryBytes = 1024 * 1024;
// A menu has hundreds of entries; a folder holding more is not a menu.
constexpr int maxEntries = 50000;

// Where entries are looked for, in order: $XDG_DATA_HOME/applications, then
// each $XDG_DATA_DIRS/applications (the values GLib read at its first call).
QStringList applicationDirectories();

// Every application entry, shown or not, ordered by ID. Subfolders give IDs
// with '-' for '/': kde4/kate.desktop is "kde4-kate".
QList<DesktopEntry> allApplications();

// The entry of `entries` that opens folders ("inode/directory"): the first
// installed default of the mimeapps.list files, else of their added
// associations, else the first shown entry declaring the type.
std::optional<DesktopEntry> defaultFileManager(const QList<DesktopEntry> &entries);

// The entry in the file at `path`, with the given ID: nothing for anything
// but a regular file of at most maxEntryBytes holding an application entry.
std::optional<DesktopEntry> read(const QString &id, const QString &path);

} // namespace DesktopEntries
