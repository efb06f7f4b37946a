#pragma once

#include "platform/ActionResult.h"
#include "platform/ApplicationServices.h"

#include <QString>

#include <optional>

// The phone's quick actions and minimise, as typed requests to the desktop.
// Each runs to its end on the calling thread (any thread) and returns the
// error's description, or none on success.
class DesktopActions {
public:
    virtual ~DesktopActions() = default;

    virtual ActionResult lockScreen() = 0;
    virtual ActionResult emptyTrash() = 0;
    virtual ActionResult toggleDarkMode() = 0;
    virtual ActionResult showDesktop() = 0;
    virtual ActionResult overview() = 0;
    // `level` is a whole percentage, 0 to 100.
    virtual ActionResult setOutputVolume(int level) = 0;
    // Every window of the application.
    virtual ActionResult minimize(const RunningApplication &app) = 0;
};
