#include "platform/Platform.h"

#include "platform/avahi/AvahiServiceAdvertiser.h"
#include "platform/FileViewer.h"
#include "platform/LinuxApplicationServices.h"
#include "platform/freedesktop/LinuxComputerName.h"
#include "platform/LinuxScriptHost.h"
#include "platform/Pasteboard.h"
#include "platform/freedesktop/FreedesktopNotifications.h"
#include "platform/freedesktop/PortalScreenCapture.h"
#include "platform/wayland/WaylandGlobals.h"
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
    const std::optional<QStringList> globals = waylandGlobals();
    if (globals && offersDataControl(*globals) && WlClipboardPasteboard::isAvailable())
        return wlClipboard;
    return qtPasteboard;
}

} // namespace

Platform &systemPlatform()
{
    static LinuxApplicationServices applications;
    static LinuxScriptHost scripts(applications);
    static Pasteboard &pasteboard = systemPasteboard();
    static PortalScreenCapture screenCapture;
    static FreedesktopFileViewer fileViewer;
    static AvahiServiceAdvertiser advertiser;
    static LinuxComputerName computerName;
    static FreedesktopNotifications notifications;
    static Platform platform{
        .applications = &applications,
        .scripts = &scripts,
        .pasteboard = &pasteboard,
        .screenCapture = &screenCapture,
        .fileViewer = &fileViewer,
        .advertiser = &advertiser,
        .computerName = &computerName,
        .notifications = &notifications,
    };
    return platform;
}
