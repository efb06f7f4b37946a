#pragma once

#include "platform/freedesktop/DesktopEntries.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <memory>

// The installed desktop entries and the lookups the process matching needs,
// read once; an immutable value that any thread may share.
class DesktopEntryIndex {
public:
    static std::shared_ptr<const DesktopEntryIndex> load();
    explicit DesktopEntryIndex(QList<DesktopEntry> entries);

    const DesktopEntry *byId(const QString &id) const;
    const DesktopEntry *byPath(const QString &path) const;
    // The entry whose Exec (or TryExec) program, resolved on PATH, is `program`.
    const DesktopEntry *byProgram(const QString &program) const;
    // The entry a window's WM_CLASS names: its StartupWMClass, else its ID or
    // the ID's last part, compared without case.
    const DesktopEntry *byWindowClass(const QString &instance, const QString &windowClass) const;

private:
    QList<DesktopEntry> m_entries;
    QHash<QString, qsizetype> m_byId, m_byPath, m_byProgram, m_byStartupClass, m_byIdName;
};

// Programs that only start an application's real program or interpret it:
// the program names no application, the script after it does.
bool isLauncherOrInterpreter(const QString &program);

// The entries of this machine, shared by everything in the process. Reloaded
// when GIO reports a change to the installed applications, not per call.
class DesktopEntryCache {
public:
    static DesktopEntryCache &shared();

    std::shared_ptr<const DesktopEntryIndex> entries();
    // Reads the entries again now; at most once a second, for look-ups of an
    // entry that may have been installed a moment ago.
    std::shared_ptr<const DesktopEntryIndex> reloaded();

private:
    DesktopEntryCache();
    QMutex m_mutex;
    std::shared_ptr<const DesktopEntryIndex> m_entries;
    qint64 m_loadedAtMs = 0;
    std::atomic<bool> m_stale{true};
};
