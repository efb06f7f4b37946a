#include "app/DisplayCheck.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool waylandReachable()
{
    const QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty())
        return false;
    const QString path = QDir::isAbsolutePath(name)
                             ? name
                             : qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + name;
    return QFileInfo(path).exists();
}

// A local display has its socket in /tmp/.X11-unix. No connection is made:
// an X server resets when its last client leaves, and Qt would then find it
// gone. A display on another host (ssh forwarding) is taken on trust.
bool x11Reachable()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    const qsizetype colon = display.lastIndexOf(u':');
    if (colon < 0)
        return false;
    const QString host = display.left(colon);
    if (!host.isEmpty() && host != QLatin1String("unix"))
        return true;
    const QString number = display.mid(colon + 1).section(u'.', 0, 0);
    return !number.isEmpty() && QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + number);
}

bool platformReachable(const QString &platform)
{
    if (platform.startsWith(QLatin1String("xcb")))
        return x11Reachable();
    if (platform.startsWith(QLatin1String("wayland")))
        return waylandReachable();
    return true; // offscreen, vnc, eglfs…: the plugin needs no display server
}

} // namespace

bool displayAvailable()
{
    // "wayland;xcb" lists plugins to try in turn, each with ":options".
    const QStringList platforms =
        qEnvironmentVariable("QT_QPA_PLATFORM").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (platforms.isEmpty())
        return waylandReachable() || x11Reachable();
    for (const QString &platform : platforms)
        if (platformReachable(platform.section(QLatin1Char(':'), 0, 0)))
            return true;
    return false;
}

QString noDisplayMessage(const QString &program)
{
    return QStringLiteral("%1: no display to show the window on (DISPLAY and WAYLAND_DISPLAY reach "
                          "none); run \"%1 --headless\" to serve the phone without a window.")
        .arg(program);
}
