# The Linux desktop: freedesktop services, X11 and Wayland, the compositors,
# Avahi; assembled by linux/.
pkg_check_modules(AVAHI REQUIRED IMPORTED_TARGET avahi-client)

# --- The Wayland display: its globals, the data-control clipboard ---
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
add_library(tendril_platform_wayland STATIC
    wayland/WaylandGlobals.h wayland/WaylandGlobals.cpp
    wayland/WlClipboardPasteboard.h wayland/WlClipboardPasteboard.cpp
)
target_link_libraries(tendril_platform_wayland PUBLIC tendril_platform PRIVATE PkgConfig::WAYLAND_CLIENT)

# --- The freedesktop desktop: D-Bus services, GIO, desktop entries, processes ---
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
set(freedesktop_processes
    freedesktop/ApplicationBus.cpp
    freedesktop/CgroupApplication.cpp
    freedesktop/DesktopEntryIndex.cpp
    freedesktop/DesktopLauncher.cpp
    freedesktop/ProcessTable.cpp
    freedesktop/RunningApplicationMatcher.cpp
    freedesktop/SystemdScope.cpp
)
add_library(tendril_platform_freedesktop STATIC
    freedesktop/ApplicationBus.h
    freedesktop/AutostartEntry.h freedesktop/AutostartEntry.cpp
    freedesktop/CgroupApplication.h
    freedesktop/ChildProcess.h freedesktop/ChildProcess.cpp
    freedesktop/ColorScheme.h freedesktop/ColorScheme.cpp
    freedesktop/DBusCall.h freedesktop/DBusCall.cpp
    freedesktop/DesktopEntries.h freedesktop/DesktopEntries.cpp
    freedesktop/DesktopEntryIndex.h
    freedesktop/DesktopLauncher.h
    freedesktop/DesktopSession.h freedesktop/DesktopSession.cpp
    freedesktop/DesktopShell.h freedesktop/DesktopShell.cpp
    freedesktop/FileMove.h freedesktop/FileMove.cpp
    freedesktop/FreedesktopFileViewer.h freedesktop/FreedesktopFileViewer.cpp
    freedesktop/FreedesktopNotifications.h freedesktop/FreedesktopNotifications.cpp
    freedesktop/GnomeShell.h freedesktop/GnomeShell.cpp
    freedesktop/HostName.h freedesktop/HostName.cpp
    freedesktop/IconTheme.h freedesktop/IconTheme.cpp freedesktop/IconThemeSetting.cpp
    freedesktop/KWin.h freedesktop/KWin.cpp
    freedesktop/KeyFile.h freedesktop/KeyFile.cpp
    freedesktop/LinuxComputerName.h freedesktop/LinuxComputerName.cpp
    freedesktop/PortalScreenCapture.h freedesktop/PortalScreenCapture.cpp
    freedesktop/ProcessTable.h
    freedesktop/RunningApplicationMatcher.h
    freedesktop/ScrotScreenCapture.h freedesktop/ScrotScreenCapture.cpp
    freedesktop/SessionLock.h freedesktop/SessionLock.cpp
    freedesktop/SystemdScope.h
    freedesktop/Trash.h freedesktop/Trash.cpp
    freedesktop/WindowReport.h freedesktop/WindowReport.cpp
    ${freedesktop_processes}
)
target_link_libraries(tendril_platform_freedesktop
    PUBLIC tendril_platform tendril_platform_files tendril_platform_wayland Qt6::Core Qt6::Gui Qt6::DBus
    PRIVATE PkgConfig::GIO)
# GIO names a member "signals".
set_source_files_properties(${freedesktop_processes} PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)

# --- The X11 window manager, and Qt's own clipboard ---
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
add_library(tendril_platform_x11 STATIC
    x11/X11Desktop.h x11/X11Desktop.cpp
    x11/X11WindowControl.h x11/X11WindowControl.cpp
    x11/QtPasteboard.h x11/QtPasteboard.cpp
)
target_link_libraries(tendril_platform_x11 PUBLIC tendril_platform PRIVATE tendril_platform_freedesktop PkgConfig::XCB)

# --- One library per compositor that steers windows ---
add_library(tendril_platform_kwin STATIC kwin/KWinWindowControl.h kwin/KWinWindowControl.cpp)
target_link_libraries(tendril_platform_kwin PUBLIC tendril_platform PRIVATE tendril_platform_freedesktop)

add_library(tendril_platform_gnome STATIC gnome/GnomeShellWindowControl.h gnome/GnomeShellWindowControl.cpp)
target_link_libraries(tendril_platform_gnome PUBLIC tendril_platform PRIVATE tendril_platform_freedesktop)
add_subdirectory(gnome/extension)

add_library(tendril_platform_unavailable STATIC
    unavailable/UnavailableWindowControl.h unavailable/UnavailableWindowControl.cpp)
target_link_libraries(tendril_platform_unavailable PUBLIC tendril_platform PRIVATE tendril_platform_freedesktop)

# --- DNS-SD advertisement through Avahi ---
add_library(tendril_platform_avahi STATIC avahi/AvahiServiceAdvertiser.h avahi/AvahiServiceAdvertiser.cpp)
target_link_libraries(tendril_platform_avahi PUBLIC tendril_platform PRIVATE PkgConfig::AVAHI)

# --- The Linux platform assembled from the worlds above ---
add_library(tendril_platform_linux STATIC
    linux/LinuxApplicationServices.h linux/LinuxApplicationServices.cpp
    linux/LinuxDesktopActions.h linux/LinuxDesktopActions.cpp
    linux/LinuxWindowControl.cpp
    linux/LinuxPlatform.cpp
)
target_link_libraries(tendril_platform_linux
    PUBLIC tendril_platform tendril_platform_bundles tendril_platform_freedesktop tendril_platform_wayland
        tendril_platform_x11 tendril_platform_kwin tendril_platform_gnome tendril_platform_unavailable
        tendril_platform_avahi)

# The platform this build runs on: it provides systemPlatform().
add_library(tendril_platform_system INTERFACE)
target_link_libraries(tendril_platform_system INTERFACE tendril_platform_linux)
