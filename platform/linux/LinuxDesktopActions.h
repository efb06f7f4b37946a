#pragma once

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

    std::optional<QString> lockScreen() override;
    std::optional<QString> emptyTrash() override;
    std::optional<QString> toggleDarkMode() override;
    std::optional<QString> showDesktop() override;
    std::optional<QString> overview() override;
    std::optional<QString> setOutputVolume(int level) override;
    std::optional<QString> minimize(const RunningApplication &app) override;

private:
    LinuxApplicationServices &m_applications;
    WindowControl &m_windows;
};
