#pragma once

#include "platform/WindowControl.h"

#include <QByteArray>
#include <QLoggingCategory>

// Where the window-control backends log, "tendril.windowcontrol".
Q_DECLARE_LOGGING_CATEGORY(windowControlLog)

// A compositor's report of its windows and the focused one's id, as JSON:
// {"active": ID, "time": MS, "windows": [{"id", "pid", "desktopFile",
// "instance", "windowClass", "normal", "minimized"}]}; none for anything else.
struct WindowReport {
    QList<DesktopWindow> windows;
    QString active;
    qint64 timeMs = 0; // when the compositor made it, since 1970; 0 when not told

    std::optional<FocusedApplication> focused() const;
};
std::optional<WindowReport> parseWindowReport(const QByteArray &json);

// Which windows belong to one running application: those of its processes,
// and those the compositor names by its desktop-file ID.
struct WindowTarget {
    QString desktopId;
    QList<qint64> pids;
};

// The ids of `target`'s windows among `windows`, in their order; application
// windows only when `normalOnly`. Never the resource class: an XWayland
// window's class is only the program's file name.
QStringList windowsOf(const QList<DesktopWindow> &windows, const WindowTarget &target, bool normalOnly);
