#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Opens GNOME Shell's overview, or closes it when it is open (its
// OverviewActive property on the session bus).
ActionResult toggleGnomeOverview();
