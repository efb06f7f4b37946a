#pragma once

#include <QString>

#include <optional>

// Runs the desktop's automation scripts: one script text, to its end, on the
// calling thread (any thread). The error's description, or none on success.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual std::optional<QString> run(const QString &source) = 0;
};

// The only scripts this program writes. The server builds them and a script
// host that cannot run them as they are recognises them from here.
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
// The level of an output-volume script, or none for any other text.
std::optional<int> outputVolumeLevel(const QString &source);

// Minimises every window of the named process. A double quote or backslash
// in the name is escaped so it cannot end the quoted text early.
QString minimizeWindows(const QString &processName);
// The process name of a minimise script, unescaped, or none for any other text.
std::optional<QString> minimizedProcessName(const QString &source);

} // namespace Scripts
