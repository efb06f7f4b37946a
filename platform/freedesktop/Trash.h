#pragma once

#include "platform/ActionResult.h"

#include <QString>
#include <QStringList>

#include <optional>

// The folders every file system is mounted on, from GIO's mount table.
QStringList mountedVolumes();

// The current user's trash folders (freedesktop trash): the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) and, on each of the
// volumes, $top/.Trash/$uid (only where .Trash is a sticky folder, not a link)
// and $top/.Trash-$uid.
QStringList trashFolders(const QStringList &volumes);

// Removes everything inside each trash folder; links are removed, never
// followed, and a trash folder that is itself a link is left alone.
ActionResult emptyTrashFolders(const QStringList &folders);
