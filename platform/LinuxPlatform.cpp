#include "platform/Platform.h"

#include "platform/AvahiServiceAdvertiser.h"
#include "platform/FileViewer.h"
#include "platform/LinuxApplicationServices.h"
#include "platform/LinuxComputerName.h"
#include "platform/LinuxScriptHost.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"
#include "platform/freedesktop/FreedesktopNotifications.h"

Platform &systemPlatform()
{
    static LinuxApplicationServices applications;
    static LinuxScriptHost scripts(applications);
    static QtPasteboard pasteboard;
    static ScrotScreenCapture screenCapture;
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
