#include "platform/files/RegularFile.h"

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcFiles, "tendril.files", QtInfoMsg)
} // namespace

namespace RegularFile {
void logIgnored(const QString &path)
{
    qCWarning(lcFiles).noquote() << QStringLiteral("[Files] Not a regular file, ignored: %1").arg(path);
}

namespace {

bool isRegularOrDirectory(mode_t mode)
{
    return S_ISREG(mode) || S_ISDIR(mode);
}

} // namespace

std::optional<QByteArray> read(const QString &path, qint64 maxBytes, Links links)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    const int found = links == Links::refuse ? ::lstat(name.constData(), &status) : ::stat(name.constData(), &status);
    if (found != 0 || S_ISLNK(status.st_mode))
        return std::nullopt;
    if (!S_ISREG(status.st_mode)) {
        if (!S_ISDIR(status.st_mode))
            logIgnored(path);
        return std::nullopt;
    }
    // Non-blocking, in case a FIFO was swapped in since the look above.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(name.constData(), flags);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= maxBytes) {
        bytes.resize(qsizetype(status.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        if (done == bytes.size()) {
            ::close(fd);
            return bytes;
        }
    } else if (!S_ISREG(status.st_mode)) {
        logIgnored(path);
    }
    ::close(fd);
    return std::nullopt;
}

bool isSpecial(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && !isRegularOrDirectory(status.st_mode);
}

} // namespace RegularFile
