#include "actions/QuickActions.h"

#include "platform/DesktopActions.h"

#include <QThreadPool>

namespace {
const QString generalTag = QStringLiteral("[AppleScript] ");
} // namespace

QuickActions::QuickActions(DesktopActions &actions, ActionLog log) : m_actions(actions), m_log(std::move(log)) {}

void QuickActions::runInBackground(Action action, const QString &tag) const
{
    // Copies only: the block must not depend on this object staying alive.
    QThreadPool::globalInstance()->start([actions = &m_actions, log = m_log, action = std::move(action), tag] {
        if (const ActionResult error = action(*actions))
            log.write(tag + *error);
    });
}

void QuickActions::lockScreen() const { runInBackground(&DesktopActions::lockScreen, generalTag); }
void QuickActions::emptyTrash() const { runInBackground(&DesktopActions::emptyTrash, generalTag); }
void QuickActions::toggleDarkMode() const { runInBackground(&DesktopActions::toggleDarkMode, generalTag); }
void QuickActions::showDesktop() const { runInBackground(&DesktopActions::showDesktop, generalTag); }
void QuickActions::missionControl() const { runInBackground(&DesktopActions::overview, generalTag); }

void QuickActions::minimizeWindows(const RunningApplication &app) const
{
    runInBackground([app](DesktopActions &actions) { return actions.minimize(app); }, QStringLiteral("[Minimize] "));
}

int QuickActions::volumeLevel(float delta)
{
    // Single precision throughout: 0.995f * 100 is 99.4999…, not 99.5.
    const float percent = delta * 100.0f;
    float clamped;
    if (percent < 100.0f && percent >= 0.0f)
        clamped = percent;
    else if (percent < 0.0f)
        clamped = 0.0f;
    else
        clamped = 100.0f; // 100 or more, and NaN
    return int(clamped);
}

void QuickActions::setOutputVolume(float delta) const
{
    const int level = volumeLevel(delta);
    runInBackground([level](DesktopActions &actions) { return actions.setOutputVolume(level); }, generalTag);
}
