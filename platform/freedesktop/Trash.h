#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The current user's trash folders (freedesktop trash): the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) and, on every mounted
// volume, $top/.Trash/$uid (only where .Trash is a sticky folder, not a link)
// and $top/.Trash-$uid. Volumes come from GIO's mount table.
QStringList trashFolders();

// Removes everything inside each trash folder; links are removed, never
// followed, and a trash folder that is itself a link is left alone.
std::optional<QString> emptyTrashFolders(const QStringList &folders);
