#include "platform/freedesktop/ProcessTable.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

} // namespace

ProcessTable::ProcessTable(QString root) : m_root(std::move(root)), m_encodedRoot(QFile::encodeName(m_root)) {}

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

QList<ProcessRecord> ProcessTable::processes() const
{
    QList<qint64> pids;
    if (DIR *dir = ::opendir(m_encodedRoot.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            char *end = nullptr;
            const long long pid = std::strtoll(entry->d_name, &end, 10);
            if (pid > 0 && *end == '\0')
                pids.append(pid);
        }
        ::closedir(dir);
    }
    std::sort(pids.begin(), pids.end());
    QList<ProcessRecord> records;
    records.reserve(pids.size());
    for (qint64 pid : pids)
        if (std::optional<ProcessRecord> record = process(pid))
            records.append(std::move(*record));
    return records;
}

qint64 ProcessTable::parentOf(qint64 pid) const
{
    // "PID (COMMAND) STATE PPID ...": the command may hold spaces and parentheses.
    const QByteArray stat = readSmallFile(m_encodedRoot + '/' + QByteArray::number(pid) + "/stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

QString ProcessTable::workingDirectory(qint64 pid) const
{
    return readLink(m_encodedRoot + '/' + QByteArray::number(pid) + "/cwd");
}
