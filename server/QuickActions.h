#pragma once

#include "server/ActionLog.h"

#include <QString>

class ScriptHost;

// The phone's quick-action buttons and volume control, carried out as
// scripts on the background pool. Nobody waits for a script; a failure is one
// log line.
class QuickActions {
public:
    // `scripts` must outlive every script started here.
    explicit QuickActions(ScriptHost &scripts, ActionLog log = ActionLog());

    // Runs one script now, on the calling thread; a failure is logged as
    // `tag` followed by the error's description.
    void runAppleScript(const QString &source, const QString &tag) const;
    // runAppleScript(source, "[AppleScript] ") on the background pool.
    void runScriptInBackground(const QString &source) const;
    // Same, with another log tag.
    void runScriptInBackground(const QString &source, const QString &tag) const;

    void lockScreen() const;
    void emptyTrash() const;
    void toggleDarkMode() const;
    void showDesktop() const;
    void missionControl() const;
    // `delta` is the wanted level as a fraction of full volume.
    void setOutputVolume(float delta) const;

    // The whole percentage for a volume fraction: clamped to 0…100, truncated.
    static int volumeLevel(float delta);

private:
    ScriptHost &m_scripts;
    ActionLog m_log;
};
