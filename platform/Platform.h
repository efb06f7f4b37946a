#pragma once

class ApplicationServices;
class DesktopActions;
class Pasteboard;
class ScreenCapture;
class FileViewer;
class ServiceAdvertiser;
class ComputerName;
class DesktopNotifications;

// The platform services the server uses, each behind its own small interface.
// Tests hand in fakes for what this machine cannot provide.
struct Platform {
    ApplicationServices *applications = nullptr;
    DesktopActions *actions = nullptr;
    Pasteboard *pasteboard = nullptr;
    ScreenCapture *screenCapture = nullptr;
    FileViewer *fileViewer = nullptr;
    ServiceAdvertiser *advertiser = nullptr;
    ComputerName *computerName = nullptr;
    DesktopNotifications *notifications = nullptr;
};

// The implementations for the machine the program runs on; they live for the
// whole process.
Platform &systemPlatform();
