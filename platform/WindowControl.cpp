#include "platform/WindowControl.h"

QStringList windowsOf(const QList<DesktopWindow> &windows, const WindowTarget &target, bool normalOnly)
{
    QStringList ids;
    for (const DesktopWindow &window : windows) {
        if (normalOnly && !window.normal)
            continue;
        const bool byProcess = window.pid > 0 && target.pids.contains(window.pid);
        const bool byEntry = !target.desktopId.isEmpty() && window.desktopFile == target.desktopId;
        if (byProcess || byEntry)
            ids.append(window.id);
    }
    return ids;
}
