#include "platform/LinuxScriptHost.h"

#include "platform/ApplicationServices.h"
#include "platform/ChildProcess.h"
#include "platform/x11/X11Desktop.h"
#include "platform/freedesktop/ColorScheme.h"
#include "platform/freedesktop/GnomeShell.h"
#include "platform/freedesktop/KWin.h"
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

// KWin first: on KDE it serves X11 and Wayland sessions alike. Under another
// Wayland compositor the X display is XWayland's, whose windows are not all.
std::optional<QString> toggleShowingDesktop()
{
    const std::optional<QString> kwin = invokeKWinShortcut(QStringLiteral("Show Desktop"));
    if (!kwin)
        return std::nullopt;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral("Cannot show the desktop: this Wayland compositor offers no way; KWin: %1").arg(*kwin);
    X11Desktop desktop;
    if (!desktop.isOpen())
        return QStringLiteral("Cannot show the desktop: no X display; KWin: %1").arg(*kwin);
    if (!desktop.supports("_NET_SHOWING_DESKTOP"))
        return QStringLiteral("Cannot show the desktop: the window manager does not offer it; KWin: %1").arg(*kwin);
    desktop.toggleShowingDesktop();
    return std::nullopt;
}

std::optional<QString> toggleOverview()
{
    const std::optional<QString> gnome = toggleGnomeOverview();
    if (!gnome)
        return std::nullopt;
    const std::optional<QString> kwin = invokeKWinShortcut(QStringLiteral("Overview"));
    if (!kwin)
        return std::nullopt;
    return QStringLiteral("Mission Control has no counterpart on this desktop: GNOME Shell: %1; KWin: %2")
        .arg(*gnome, *kwin);
}

} // namespace

LinuxScriptHost::LinuxScriptHost(ApplicationServices &applications) : m_applications(applications) {}

std::optional<QString> LinuxScriptHost::run(const QString &source)
{
    if (source == Scripts::lockScreen)
        return lockSession();
    if (source == Scripts::emptyTrash)
        return emptyTrashFolders(trashFolders(mountedVolumes()));
    if (source == Scripts::toggleDarkMode)
        return toggleColorScheme();
    if (source == Scripts::showDesktop)
        return toggleShowingDesktop();
    if (source == Scripts::missionControl)
        return toggleOverview();
    if (const std::optional<int> level = Scripts::outputVolumeLevel(source))
        return setOutputVolume(*level);
    if (const std::optional<QString> name = Scripts::minimizedProcessName(source))
        return minimizeWindowsOf(*name);
    return QStringLiteral("This desktop cannot run the script: %1").arg(source);
}

std::optional<QString> LinuxScriptHost::minimizeWindowsOf(const QString &processName)
{
    // Like a scripting host, a process is named by its display name, or by its
    // identifier when it has none.
    QList<RunningApplication> named;
    for (const RunningApplication &app : m_applications.runningApplications())
        if (app.localizedName.value_or(app.bundleIdentifier.value_or(QString())) == processName)
            named.append(app);
    if (named.isEmpty())
        return QStringLiteral("Cannot find the process \"%1\"").arg(processName);

    if (!X11Desktop().isOpen())
        return QStringLiteral("Cannot minimise the windows of \"%1\": no X display").arg(processName);
    // Hiding is iconifying here: every normal window of the application.
    for (const RunningApplication &app : named)
        m_applications.hide(app);
    return std::nullopt;
}
