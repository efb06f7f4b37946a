#include "platform/Platform.h"

#include "platform/avahi/AvahiServiceAdvertiser.h"
#include "platform/freedesktop/FreedesktopFileViewer.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/freedesktop/LinuxComputerName.h"
#include "platform/linux/LinuxDesktopActions.h"
#include "platform/freedesktop/DesktopSession.h"
#include "platform/WindowControl.h"
#include "platform/x11/QtPasteboard.h"
#include "platform/freedesktop/FreedesktopNotifications.h"
#include "platform/freedesktop/PortalScreenCapture.h"
#include "platform/wayland/WlClipboardPasteboard.h"

#include <QGuiApplication>

namespace {

// A native Wayland client reads the clipboard only while it has the focus;
// data-control has no such limit. Under X11 (XWayland included) Qt's own does.
Pasteboard &systemPasteboard()
{
    static QtPasteboard qtPasteboard;
    static WlClipboardPasteboard wlClipboard;
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return qtPasteboard;
    if (DesktopSession::current().dataControl && WlClipboardPasteboard::isAvailable())
        return wlClipboard;
    return qtPasteboard;
}

} // namespace

Platform &systemPlatform()
{
    static LinuxApplicationServices applications(systemWindowControl());
    static LinuxDesktopActions actions(applications, systemWindowControl());
    static Pasteboard &pasteboard = systemPasteboard();
    static PortalScreenCapture screenCapture;
    static FreedesktopFileViewer fileViewer;
    static AvahiServiceAdvertiser advertiser;
    static LinuxComputerName computerName;
    static FreedesktopNotifications notifications;
    static Platform platform{
        .applications = &applications,
        .actions = &actions,
        .pasteboard = &pasteboard,
        .screenCapture = &screenCapture,
        .fileViewer = &fileViewer,
        .advertiser = &advertiser,
        .computerName = &computerName,
        .notifications = &notifications,
    };
    return platform;
}
