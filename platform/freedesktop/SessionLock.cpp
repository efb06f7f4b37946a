#include "platform/freedesktop/SessionLock.h"

#include "platform/freedesktop/ChildProcess.h"
#include "platform/freedesktop/DBusCall.h"

ActionResult lockSession()
{
    // "auto" is logind's name for the caller's session, or else the user's
    // graphical one.
    const DBusCall::Target logind{QStringLiteral("org.freedesktop.login1"),
                                  QStringLiteral("/org/freedesktop/login1/session/auto"),
                                  QStringLiteral("org.freedesktop.login1.Session")};
    const ActionResult viaLogind =
        DBusCall::call(QDBusConnection::systemBus(), logind, QStringLiteral("Lock"));
    if (!viaLogind)
        return std::nullopt;

    const DBusCall::Target screenSaver{QStringLiteral("org.freedesktop.ScreenSaver"),
                                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                                       QStringLiteral("org.freedesktop.ScreenSaver")};
    const ActionResult viaScreenSaver =
        DBusCall::call(QDBusConnection::sessionBus(), screenSaver, QStringLiteral("Lock"));
    if (!viaScreenSaver)
        return std::nullopt;

    const ActionResult viaTool =
        runChildProcess(QStringLiteral("xdg-screensaver"), {QStringLiteral("lock")});
    if (!viaTool)
        return std::nullopt;
    return QStringLiteral("Cannot lock the screen: %1; %2; %3").arg(*viaLogind, *viaScreenSaver, *viaTool);
}
