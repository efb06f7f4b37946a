#pragma once

#include <QByteArray>
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
// /proc, or a tree a test builds). Plain system calls: it runs for every
// process on every running-app poll.
class ProcessTable {
public:
    explicit ProcessTable(QString root = QStringLiteral("/proc"));

    // The current user's processes, by ascending PID.
    QList<ProcessRecord> processes() const;
    std::optional<ProcessRecord> process(qint64 pid) const;
    // The parent's PID, or 0 when unknown.
    qint64 parentOf(qint64 pid) const;
    QString workingDirectory(qint64 pid) const;

private:
    QString m_root;
    QByteArray m_encodedRoot;
};
