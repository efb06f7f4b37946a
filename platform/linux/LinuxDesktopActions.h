#pragma once

#include "platform/ActionResult.h"
#include "platform/DesktopActions.h"

class LinuxApplicationServices;
class WindowControl;

// The desktop actions with what a Linux desktop offers: the session lock,
// every trash folder of the user, the desktop's colour-scheme setting, the
// default audio sink, and the window control for the rest. A missing tool
// or service is an error.
class LinuxDesktopActions : public DesktopActions {
public:
    LinuxDesktopActions(LinuxApplicationServices &applications, WindowControl &windows);

    ActionResult lockScreen() override;
    ActionResult emptyTrash() override;
    ActionResult toggleDarkMode() override;
    ActionResult showDesktop() override;
    ActionResult overview() override;
    ActionResult setOutputVolume(int level) override;
    ActionResult minimize(const RunningApplication &app) override;

private:
    LinuxApplicationServices &m_applications;
    WindowControl &m_windows;
};
