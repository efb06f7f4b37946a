#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Flips the desktop between its dark and light colour schemes. The current
// scheme comes from the settings portal (org.freedesktop.appearance
// color-scheme); GNOME is switched through its GSettings key, KDE Plasma
// through plasma-apply-colorscheme. Any other desktop is an error: nothing
// there says which setting every program follows.
ActionResult toggleColorScheme();
