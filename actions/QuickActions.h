#pragma once

#include "platform/ActionResult.h"
#include "platform/ApplicationServices.h"
#include "log/ActionLog.h"

#include <QString>

#include <functional>
#include <optional>

class DesktopActions;

// The phone's quick-action buttons and volume control, and the minimise
// command, carried out on the background pool. Nobody waits for an action; a
// failure is one log line.
class QuickActions {
public:
    // `actions` must outlive every action started here.
    explicit QuickActions(DesktopActions &actions, ActionLog log = ActionLog());

    void lockScreen() const;
    void emptyTrash() const;
    void toggleDarkMode() const;
    void showDesktop() const;
    void missionControl() const;
    // `delta` is the wanted level as a fraction of full volume.
    void setOutputVolume(float delta) const;
    // Every window of `app`; a failure is logged as "[Minimize] ".
    void minimizeWindows(const RunningApplication &app) const;

    // The whole percentage for a volume fraction: clamped to 0…100, truncated.
    static int volumeLevel(float delta);

private:
    using Action = std::function<ActionResult(DesktopActions &)>;
    // Runs `action` on the background pool; a failure is logged as `tag`
    // followed by the error's description.
    void runInBackground(Action action, const QString &tag) const;

    DesktopActions &m_actions;
    ActionLog m_log;
};
