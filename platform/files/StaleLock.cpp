#include "platform/files/StaleLock.h"

#include <QDateTime>
#include <QFile>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

namespace StaleLock {

bool takeOverIfStale(const QString &lockPath)
{
    const QByteArray name = QFile::encodeName(lockPath);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0)
        return true; // no lock at all
    // QLockFile would block reading a FIFO for its owner's identity.
    if (!S_ISREG(status.st_mode))
        return false;
    if (status.st_size == 0) {
        const qint64 modifiedMs = qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1'000'000;
        if (qAbs(QDateTime::currentMSecsSinceEpoch() - modifiedMs) > emptyLockStaleMs)
            ::unlink(name.constData());
    }
    // Removes a lock whose owner has died; a live owner's lock is left.
    QLockFile probe(lockPath);
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0))
        return false;
    probe.unlock();
    return true;
}

} // namespace StaleLock
