#pragma once

#include "platform/ApplicationServices.h"
#include "platform/freedesktop/ProcessTable.h"

#include <QHash>

#include <functional>

class DesktopEntryIndex;

// A window's owner as the window manager lists it.
struct WindowOwner {
    qint64 pid = 0;
    QString instance;
    QString windowClass;
    QString desktopFile; // the entry a Wayland compositor names the window by
};

// The running applications of one look at the process table.
struct RunningSnapshot {
    // One per running instance, with the PID of the process that started it,
    // by ascending PID.
    QList<RunningApplication> applications;
    // Every process that belongs to an application -> its instance's PID.
    QHash<qint64, qint64> instanceOf;

    // The running application a process belongs to.
    std::optional<RunningApplication> applicationOf(qint64 pid) const;
};

using BundleMatcher = std::function<std::optional<RunningApplication>(const ProcessRecord &)>;

// Names the application of each process, most reliable source first: an
// application bundle's program, the systemd unit, the program against the
// entries' Exec, and a window's WM_CLASS. Processes of one unit, or a process
// and the children that run the same application, are one instance.
RunningSnapshot matchRunningApplications(const ProcessTable &table, const QList<ProcessRecord> &processes,
                                         const DesktopEntryIndex &entries, const QList<WindowOwner> &windows,
                                         const BundleMatcher &bundleOf);
