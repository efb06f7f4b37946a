#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Triggers one of KWin's global shortcuts by its name ("Overview", "Show
// Desktop") through the shortcut daemon on the session bus, as pressing its
// keys would; works on X11 and Wayland alike.
ActionResult invokeKWinShortcut(const QString &name);
