#include "platform/linux/LinuxDesktopActions.h"

#include "platform/freedesktop/ChildProcess.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/WindowControl.h"
#include "platform/freedesktop/ColorScheme.h"
#include "platform/freedesktop/SessionLock.h"
#include "platform/freedesktop/Trash.h"

#include <QStandardPaths>

namespace {

ActionResult setOutputVolume(int level)
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

ActionResult LinuxDesktopActions::lockScreen() { return lockSession(); }
ActionResult LinuxDesktopActions::emptyTrash() { return emptyTrashFolders(trashFolders(mountedVolumes())); }
ActionResult LinuxDesktopActions::toggleDarkMode() { return toggleColorScheme(); }
ActionResult LinuxDesktopActions::showDesktop() { return m_windows.toggleShowingDesktop(); }
ActionResult LinuxDesktopActions::overview() { return m_windows.toggleOverview(); }

ActionResult LinuxDesktopActions::setOutputVolume(int level)
{
    return ::setOutputVolume(level);
}

ActionResult LinuxDesktopActions::minimize(const RunningApplication &app)
{
    return m_applications.minimizeWindows(app);
}
