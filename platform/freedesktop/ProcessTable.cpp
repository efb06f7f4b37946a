#include "platform/freedesktop/ProcessTable.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

QByteArray readSmallFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        content.append(buffer, n);
        if (content.size() > (1 << 20))
            break;
    }
    ::close(fd);
    return content;
}

QString readLink(const QByteArray &path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer);
    if (n <= 0 || n == ssize_t(sizeof buffer))
        return {};
    QByteArray target(buffer, n);
    if (target.endsWith(" (deleted)"))
        target.chop(10); // an upgraded program still names its application
    return QFile::decodeName(target);
}

// The fields of /proc/PID/stat after "PID (COMMAND) ", from STATE on: the
// command may hold spaces and parentheses.
QList<QByteArray> statFields(const QByteArray &processDir)
{
    const QByteArray line = readSmallFile(processDir + "/stat");
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 ? QList<QByteArray>() : line.mid(close + 2).split(' ');
}

// How long ago the process started, from its start time (the 22nd field);
// none when that cannot be read (a test's tree).
std::optional<qint64> ageMs(const QByteArray &processDir)
{
    const QList<QByteArray> fields = statFields(processDir);
    bool ok = false;
    const qint64 startTicks = fields.size() > 19 ? fields.at(19).toLongLong(&ok) : 0;
    timespec boot {};
    if (!ok || ::clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return std::nullopt;
    const qint64 bootMs = qint64(boot.tv_sec) * 1000 + boot.tv_nsec / 1000000;
    return bootMs - startTicks * 1000 / ::sysconf(_SC_CLK_TCK);
}

} // namespace

// A process may still move into its application's unit, or replace its
// program, shortly after it starts: until then it is read in full every time.
constexpr qint64 youngMs = 3000;

ProcessTable::ProcessTable(QString root) : m_root(std::move(root)), m_encodedRoot(QFile::encodeName(m_root))
{
    m_clock.start();
}

std::optional<ProcessRecord> ProcessTable::process(qint64 pid) const
{
    const QByteArray dir = m_encodedRoot + '/' + QByteArray::number(pid);
    struct stat status {};
    if (::stat(dir.constData(), &status) != 0 || status.st_uid != ::getuid())
        return std::nullopt;
    ProcessRecord record;
    record.pid = pid;
    record.executable = readLink(dir + "/exe");
    const QByteArray commandLine = readSmallFile(dir + "/cmdline");
    for (const QByteArray &argument : commandLine.split('\0'))
        record.arguments.append(QFile::decodeName(argument));
    if (!record.arguments.isEmpty() && record.arguments.last().isEmpty())
        record.arguments.removeLast();
    record.cgroup = readSmallFile(dir + "/cgroup");
    return record;
}

bool ProcessTable::unchanged(const Known &known) const
{
    const QByteArray dir = m_encodedRoot + '/' + QByteArray::number(known.record.pid);
    struct stat status {};
    return ::stat(dir.constData(), &status) == 0 && (status.st_uid == ::getuid()) == known.ours
        && (!known.ours
            || (readLink(dir + "/exe") == known.record.executable && readSmallFile(dir + "/cgroup") == known.record.cgroup));
}

QList<ProcessRecord> ProcessTable::processes()
{
    constexpr quint64 recheckEvery = 32; // polls: about every 48 s
    const quint64 poll = ++m_polls;
    const qint64 now = m_clock.elapsed();
    QList<std::pair<qint64, quint64>> listed; // PID, inode
    if (DIR *dir = ::opendir(m_encodedRoot.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            char *end = nullptr;
            const long long pid = std::strtoll(entry->d_name, &end, 10);
            if (pid > 0 && *end == '\0')
                listed.append({pid, entry->d_ino});
        }
        ::closedir(dir);
    }
    std::sort(listed.begin(), listed.end());

    QList<ProcessRecord> records;
    for (const auto &[pid, inode] : listed) {
        Known &known = m_known[pid];
        const bool isNew = known.inode != inode;
        bool settled = !isNew && now >= known.settlesAtMs;
        if (settled && (quint64(pid) + poll) % recheckEvery == 0)
            settled = unchanged(known);
        if (!settled) {
            known.inode = inode;
            std::optional<ProcessRecord> record = process(pid);
            known.ours = record.has_value();
            known.record = record ? std::move(*record) : ProcessRecord{pid, {}, {}, {}};
            if (isNew) {
                // One of ours first seen when already past its youth (any
                // running when this program starts) is settled at once;
                // another user's costs only a stat() while young.
                const std::optional<qint64> age =
                    known.ours ? ageMs(m_encodedRoot + '/' + QByteArray::number(pid)) : std::nullopt;
                known.settlesAtMs = now + youngMs - std::clamp<qint64>(age.value_or(0), 0, youngMs);
            }
        }
        known.seenInPoll = poll;
        if (known.ours)
            records.append(known.record);
    }
    m_known.removeIf([poll](const auto &entry) { return entry.value().seenInPoll != poll; });
    return records;
}

qint64 ProcessTable::parentOf(qint64 pid) const
{
    const QList<QByteArray> fields = statFields(m_encodedRoot + '/' + QByteArray::number(pid));
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

QString ProcessTable::workingDirectory(qint64 pid) const
{
    return readLink(m_encodedRoot + '/' + QByteArray::number(pid) + "/cwd");
}
