#include "platform/freedesktop/FileMove.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString failure(const QString &from, const QString &to, int error)
{
    return QStringLiteral("Cannot move %1 to %2: %3 (the file was left where it is)")
        .arg(from, to, QString::fromLocal8Bit(std::strerror(error)));
}

bool renameOver(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

ActionResult moveFile(const QString &from, const QString &to)
{
    const QFileInfo source(from);
    if (source.isSymLink() || !source.isFile())
        return QStringLiteral("There is no file at %1").arg(from);
    const QString folder = QFileInfo(to).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Cannot make the folder %1").arg(folder);
    if (renameOver(from, to))
        return std::nullopt;
    if (errno != EXDEV)
        return failure(from, to, errno);

    // Another file system: a full copy beside the target first, so that the
    // target is replaced whole or not at all.
    QTemporaryFile copy(folder + QStringLiteral("/.tendril-XXXXXX"));
    QFile input(from);
    if (!copy.open() || !input.open(QIODevice::ReadOnly))
        return failure(from, to, errno ? errno : EACCES);
    while (!input.atEnd()) {
        const QByteArray chunk = input.read(1 << 20);
        if (chunk.isEmpty() && input.error() != QFileDevice::NoError)
            return QStringLiteral("Cannot read %1: %2").arg(from, input.errorString());
        if (copy.write(chunk) != chunk.size())
            return QStringLiteral("Cannot write %1: %2").arg(to, copy.errorString());
    }
    if (!copy.flush() || !renameOver(copy.fileName(), to))
        return failure(from, to, errno);
    copy.setAutoRemove(false);
    QFile::remove(from);
    return std::nullopt;
}
