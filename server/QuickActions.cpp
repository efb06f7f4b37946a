#include "server/QuickActions.h"

#include "platform/ScriptHost.h"

#include <QThreadPool>

namespace {
const QString appleScriptTag = QStringLiteral("[AppleScript] ");

void runScript(ScriptHost &scripts, const ActionLog &log, const QString &source, const QString &tag)
{
    if (const std::optional<QString> error = scripts.run(source))
        log.write(tag + *error);
}
} // namespace

QuickActions::QuickActions(ScriptHost &scripts, ActionLog log)
    : m_scripts(scripts), m_log(std::move(log))
{
}

void QuickActions::runAppleScript(const QString &source, const QString &tag) const
{
    runScript(m_scripts, m_log, source, tag);
}

void QuickActions::runScriptInBackground(const QString &source) const
{
    runScriptInBackground(source, appleScriptTag);
}

void QuickActions::runScriptInBackground(const QString &source, const QString &tag) const
{
    // Copies only: the block must not depend on this object staying alive.
    QThreadPool::globalInstance()->start([scripts = &m_scripts, log = m_log, source, tag] {
        runScript(*scripts, log, source, tag);
    });
}

void QuickActions::lockScreen() const { runScriptInBackground(Scripts::lockScreen); }
void QuickActions::emptyTrash() const { runScriptInBackground(Scripts::emptyTrash); }
void QuickActions::toggleDarkMode() const { runScriptInBackground(Scripts::toggleDarkMode); }
void QuickActions::showDesktop() const { runScriptInBackground(Scripts::showDesktop); }
void QuickActions::missionControl() const { runScriptInBackground(Scripts::missionControl); }

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
    runScriptInBackground(Scripts::outputVolume(volumeLevel(delta)));
}
