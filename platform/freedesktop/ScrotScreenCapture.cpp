#include "platform/freedesktop/ScrotScreenCapture.h"

#include "platform/freedesktop/ChildProcess.h"

#include <QDir>
#include <QFileInfo>

ActionResult ScrotScreenCapture::capture(const QString &path)
{
    // A Linux home need not have the Desktop folder the file goes to.
    QDir().mkpath(QFileInfo(path).absolutePath());
    // -z: no beep; -o: a second shot in the same second replaces the first.
    if (ActionResult error = runChildProcess(QStringLiteral("scrot"),
                                                       {QStringLiteral("-z"), QStringLiteral("-o"), path}))
        return error;
    if (!QFileInfo(path).isFile())
        return QStringLiteral("scrot wrote no file at %1").arg(path);
    return std::nullopt;
}
