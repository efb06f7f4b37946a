#include "platform/freedesktop/RunningApplicationMatcher.h"

#include "platform/freedesktop/CgroupApplication.h"
#include "platform/freedesktop/DesktopEntryIndex.h"

#include <QFileInfo>
#include <QMap>

namespace {

struct Match {
    QString desktopId;
    QByteArray unitPath; // empty for a match by program or window
};

const DesktopEntry *entryOfProgram(const ProcessRecord &process, const DesktopEntryIndex &entries)
{
    if (const DesktopEntry *entry = entries.byProgram(process.executable))
        return entry;
    // An interpreter: the script it runs, as the kernel passed it.
    if (process.arguments.size() < 2 || !process.arguments.at(1).startsWith(u'/')
        || !isLauncherOrInterpreter(process.executable))
        return nullptr;
    if (const DesktopEntry *entry = entries.byProgram(process.arguments.at(1)))
        return entry;
    return entries.byProgram(QFileInfo(process.arguments.at(1)).canonicalFilePath());
}

} // namespace

RunningSnapshot matchRunningApplications(const ProcessTable &table, const QList<ProcessRecord> &processes,
                                         const DesktopEntryIndex &entries, const QList<WindowOwner> &windows,
                                         const BundleMatcher &bundleOf)
{
    QMap<qint64, RunningApplication> byPid; // bundles first, then one per instance
    QMap<qint64, Match> matches;
    QHash<qint64, bool> current;
    // Most processes share a few units (the session's, a terminal's): each is parsed once.
    QHash<QByteArray, std::optional<CgroupApplication>> units;
    for (const ProcessRecord &process : processes) {
        current.insert(process.pid, true);
        auto unit = units.constFind(process.cgroup);
        if (unit == units.cend())
            unit = units.insert(process.cgroup, applicationOfCgroup(process.cgroup));
        if (std::optional<RunningApplication> bundle = bundleOf(process))
            byPid.insert(process.pid, std::move(*bundle));
        else if (*unit)
            matches.insert(process.pid, {(*unit)->desktopId, (*unit)->unitPath});
        else if (const DesktopEntry *entry = entryOfProgram(process, entries))
            matches.insert(process.pid, {entry->id, {}});
    }
    for (const WindowOwner &window : windows) {
        if (!current.contains(window.pid) || matches.contains(window.pid) || byPid.contains(window.pid))
            continue;
        const DesktopEntry *entry = window.desktopFile.isEmpty() ? nullptr : entries.byId(window.desktopFile);
        if (!entry)
            entry = entries.byWindowClass(window.instance, window.windowClass);
        if (entry)
            matches.insert(window.pid, {entry->id, {}});
    }

    RunningSnapshot snapshot;
    QHash<QByteArray, qint64> unitLeaders;
    for (auto it = matches.cbegin(); it != matches.cend(); ++it) {
        qint64 leader = it.key();
        if (!it->unitPath.isEmpty()) {
            leader = unitLeaders.value(it->unitPath, it.key()); // the lowest PID comes first
            unitLeaders.insert(it->unitPath, leader);
        } else {
            // Up through parents that run the same application.
            for (int depth = 0; depth < 64; ++depth) {
                const auto parent = matches.constFind(table.parentOf(leader));
                if (parent == matches.cend() || parent.key() == leader || !parent->unitPath.isEmpty()
                    || parent->desktopId != it->desktopId)
                    break;
                leader = parent.key();
            }
        }
        snapshot.instanceOf.insert(it.key(), leader);
        if (leader != it.key())
            continue;
        RunningApplication app;
        app.processIdentifier = leader;
        app.bundleIdentifier = it->desktopId;
        if (const DesktopEntry *entry = entries.byId(it->desktopId)) {
            app.localizedName = entry->name;
            app.bundlePath = entry->filePath;
        }
        byPid.insert(leader, app);
    }
    for (auto it = byPid.cbegin(); it != byPid.cend(); ++it) {
        snapshot.applications.append(*it);
        snapshot.instanceOf.insert(it.key(), it.key());
    }
    return snapshot;
}

std::optional<RunningApplication> RunningSnapshot::applicationOf(qint64 pid) const
{
    const qint64 instance = instanceOf.value(pid, -1);
    for (const RunningApplication &app : applications)
        if (app.processIdentifier == instance)
            return app;
    return std::nullopt;
}
