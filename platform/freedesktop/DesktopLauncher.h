#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Starts a desktop entry by the desktop-entry rules (field codes, Terminal,
// Path, D-Bus activation), through GIO. The error's description, or none.
ActionResult launchDesktopEntry(const QString &desktopFile);
