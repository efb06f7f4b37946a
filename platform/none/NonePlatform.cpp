#include "platform/Platform.h"

#include "platform/none/MemoryPasteboard.h"
#include "platform/none/NoDesktop.h"

Platform &systemPlatform()
{
    static NoApplicationServices applications;
    static NoDesktopActions actions;
    static MemoryPasteboard pasteboard;
    static NoScreenCapture screenCapture;
    static NoFileViewer fileViewer;
    static NoServiceAdvertiser advertiser;
    static HostComputerName computerName;
    static NoNotifications notifications;
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
