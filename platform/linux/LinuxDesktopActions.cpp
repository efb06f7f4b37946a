#include "platform/linux/LinuxDesktopActions.h"

#include "platform/freedesktop/ChildProcess.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/WindowControl.h"
#include "platform/freedesktop/ColorScheme.h"
#include "platform/freedesktop/SessionLock.h"
#include "platform/freedesktop/Trash.h"

#include <QStandardPaths>

namespace {

std::optional<QString> setOutputVolume(int level)
{
    const QString percent = QString::number(level) + u'%';
    const auto installed = [](const char *tool) {
        return !QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty();
    };
    // pactl drives PipeWire's PulseAudio service too; wpctl is PipeWire's own.
    if (installed("pactl"))
        return runChildProcess(QStringLiteral("pactl"),
                               {QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@"), percent});
    if (installed("wpctl"))
        return runChildProcess(QStringLiteral("wpctl"), {QStringLiteral("set-volume"),
                                                         QStringLiteral("@DEFAULT_AUDIO_SINK@"),
                                                         QString::number(level / 100.0, 'f', 2)});
    if (installed("amixer"))
        return runChildProcess(QStringLiteral("amixer"),
                               {QStringLiteral("-q"), QStringLiteral("sset"), QStringLiteral("Master"), percent});
    return QStringLiteral("Cannot set the volume: neither pactl, wpctl nor amixer is installed");
}

} // namespace

LinuxDesktopActions::LinuxDesktopActions(LinuxApplicationServices &applications, WindowControl &windows)
    : m_applications(applications), m_windows(windows)
{
}

std::optional<QString> LinuxDesktopActions::lockScreen() { return lockSession(); }
std::optional<QString> LinuxDesktopActions::emptyTrash() { return emptyTrashFolders(trashFolders(mountedVolumes())); }
std::optional<QString> LinuxDesktopActions::toggleDarkMode() { return toggleColorScheme(); }
std::optional<QString> LinuxDesktopActions::showDesktop() { return m_windows.toggleShowingDesktop(); }
std::optional<QString> LinuxDesktopActions::overview() { return m_windows.toggleOverview(); }

std::optional<QString> LinuxDesktopActions::setOutputVolume(int level)
{
    return ::setOutputVolume(level);
}

std::optional<QString> LinuxDesktopActions::minimize(const RunningApplication &app)
{
    return m_applications.minimizeWindows(app);
}
