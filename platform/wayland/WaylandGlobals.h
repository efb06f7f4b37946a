#pragma once

#include <QStringList>

#include <optional>

// The interface names the Wayland display in $WAYLAND_DISPLAY announces, read
// over a short connection of its own (usable before Qt connects). None when
// no Wayland display is named or it cannot be reached.
std::optional<QStringList> waylandGlobals();

// Whether the announced globals include a data-control manager, through which
// a client that has no focus may read and set the clipboard.
bool offersDataControl(const QStringList &globals);
