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
    // Reads the entries on the calling thread.
    static std::shared_ptr<const DesktopEntryIndex> load();
    explicit DesktopEntryIndex(QList<DesktopEntry> entries = {}, const QString &fileManagerId = {});

    // Every entry, ordered by ID.
    const QList<DesktopEntry> &all() const { return m_entries; }
    // The entry that opens folders, if one is set up.
    const DesktopEntry *fileManager() const;
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
    qsizetype m_fileManager = -1;
};

// Programs that only start an application's real program or interpret it:
// the program names no application, the script after it does.
bool isLauncherOrInterpreter(const QString &program);

// The entries of this machine, shared by everything in the process. They are
// read on a worker, by the catalogue's scan or by the first ask, and read
// again only when a file monitor on the applications folders reports a
// change; a look-up never causes a read.
class DesktopEntryCache {
public:
    static DesktopEntryCache &shared();

    // The entries last read: empty until the first pass has finished, which
    // this starts in the background if none has. Never reads a file, so the
    // main thread may ask.
    std::shared_ptr<const DesktopEntryIndex> entries();
    // Up-to-date entries for a worker thread: the published ones, else read
    // here (one pass at a time, shared with any other asker) and published.
    std::shared_ptr<const DesktopEntryIndex> load();
    // How many passes have been published.
    int passes() const { return m_passes; }

private:
    DesktopEntryCache();
    void loadInBackground();
    // A GFileMonitor's "changed" signal.
    static void folderChanged(void *monitor, void *file, void *otherFile, int event, void *cache);

    QMutex m_mutex; // guards m_entries
    QMutex m_loading; // one pass at a time
    std::shared_ptr<const DesktopEntryIndex> m_entries;
    std::atomic<int> m_passes{0};
    std::atomic<bool> m_stale{true};
    std::atomic<bool> m_backgroundLoad{false};
};
