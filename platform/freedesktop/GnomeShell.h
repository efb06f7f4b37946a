#pragma once

#include <QString>

#include <optional>

// Opens GNOME Shell's overview, or closes it when it is open (its
// OverviewActive property on the session bus).
std::optional<QString> toggleGnomeOverview();
