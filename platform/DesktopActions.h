#pragma once

#include "platform/ApplicationServices.h"

#include <QString>

#include <optional>

// The phone's quick actions and minimise, as typed requests to the desktop.
// Each runs to its end on the calling thread (any thread) and returns the
// error's description, or none on success.
class DesktopActions {
public:
    virtual ~DesktopActions() = default;

    virtual std::optional<QString> lockScreen() = 0;
    virtual std::optional<QString> emptyTrash() = 0;
    virtual std::optional<QString> toggleDarkMode() = 0;
    virtual std::optional<QString> showDesktop() = 0;
    virtual std::optional<QString> overview() = 0;
    // `level` is a whole percentage, 0 to 100.
    virtual std::optional<QString> setOutputVolume(int level) = 0;
    // Every window of the application.
    virtual std::optional<QString> minimize(const RunningApplication &app) = 0;
};
