#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What /proc tells about one process of the current user.
struct ProcessRecord {
    qint64 pid = 0;
    QString executable;     // the resolved /proc/PID/exe; empty when unreadable
    QStringList arguments;  // /proc/PID/cmdline
    QByteArray cgroup;      // /proc/PID/cgroup
};

// Reads the processes of the current user from a proc file system (the real
// /proc, or a tree a test builds). It runs for every process on every
// running-app poll, so a process is read in full only while it is young
// (started less than a few seconds ago); afterwards what was read is kept,
// and checked again (owner, program, unit) every few dozen polls. A process
// is told from a later one with the same PID by its directory's inode, which
// the directory listing gives for free. Not thread-safe.
class ProcessTable {
public:
    explicit ProcessTable(QString root = QStringLiteral("/proc"));

    // The current user's processes, by ascending PID.
    QList<ProcessRecord> processes();
    std::optional<ProcessRecord> process(qint64 pid) const;
    // The parent's PID, or 0 when unknown.
    qint64 parentOf(qint64 pid) const;
    QString workingDirectory(qint64 pid) const;

private:
    struct Known {
        quint64 inode = 0;
        qint64 settlesAtMs = 0; // on m_clock; read in full until then
        quint64 seenInPoll = 0;
        bool ours = false; // another user's process is remembered as such
        ProcessRecord record;
    };
    bool unchanged(const Known &known) const;

    QString m_root;
    QByteArray m_encodedRoot;
    QHash<qint64, Known> m_known;
    QElapsedTimer m_clock;
    quint64 m_polls = 0;
};
