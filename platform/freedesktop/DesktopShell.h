#pragma once

#include "platform/ActionResult.h"
#include "platform/freedesktop/GnomeShell.h"
#include "platform/freedesktop/KWin.h"

// Opens or closes the desktop shell's overview through what the shell offers
// on the session bus without an extension: GNOME Shell's property, else KWin's
// shortcut.
ActionResult toggleShellOverview();
