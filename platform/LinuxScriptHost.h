#pragma once

#include "platform/ScriptHost.h"

class ApplicationServices;

// Carries out this program's own scripts with what a Linux desktop offers:
// the session lock, every trash folder of the user, the desktop's
// colour-scheme setting, the default audio sink, the desktop shell's overview
// and show-desktop, and the window manager's minimise requests. Any other
// text, or a missing tool or service, is an error.
class LinuxScriptHost : public ScriptHost {
public:
    // `applications` finds the processes a minimise script names.
    explicit LinuxScriptHost(ApplicationServices &applications);

    std::optional<QString> run(const QString &source) override;

private:
    std::optional<QString> minimizeWindowsOf(const QString &processName);

    ApplicationServices &m_applications;
};
