#pragma once

#include "platform/ActionResult.h"
#include "platform/DesktopActions.h"

#include <QString>

#include <optional>

// Runs automation scripts: one script text, to its end, on the calling
// thread (any thread). The error's description, or none on success.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual ActionResult run(const QString &source) = 0;
};

// The desktop actions of a platform that carries them out as scripts
// addressing "System Events" and "Finder".
class ScriptedDesktopActions : public DesktopActions {
public:
    explicit ScriptedDesktopActions(ScriptHost &host) : m_host(host) {}

    ActionResult lockScreen() override;
    ActionResult emptyTrash() override;
    ActionResult toggleDarkMode() override;
    ActionResult showDesktop() override;
    ActionResult overview() override;
    ActionResult setOutputVolume(int level) override;
    // The process is named by its display name, else its identifier.
    ActionResult minimize(const RunningApplication &app) override;

private:
    ScriptHost &m_host;
};

namespace Scripts {

inline const QString lockScreen = QStringLiteral(
    "tell application \"System Events\" to keystroke \"q\" using {control down, command down}");
inline const QString emptyTrash = QStringLiteral("tell application \"Finder\" to empty trash");
inline const QString toggleDarkMode = QStringLiteral(
    "tell application \"System Events\" to tell appearance preferences to set dark mode to not "
    "dark mode");
inline const QString showDesktop = QStringLiteral("tell application \"System Events\" to key code 103");
inline const QString missionControl = QStringLiteral("tell application \"System Events\" to key code 160");

// "set volume output volume " and the level in decimal.
QString outputVolume(int level);
// Minimises every window of the named process. A double quote or backslash
// in the name is escaped so it cannot end the quoted text early.
QString minimizeWindows(const QString &processName);

} // namespace Scripts
