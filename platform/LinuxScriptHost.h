#pragma once

#include "platform/ScriptHost.h"

class ApplicationServices;

// Carries out this program's own scripts with what a Linux desktop offers:
// the session lock, the freedesktop trash, the desktop's colour-scheme
// setting, the default audio sink, and the window manager's show-desktop and
// minimise requests. Any other text, or a missing tool or service, is an error.
class LinuxScriptHost : public ScriptHost {
public:
    // `applications` finds the processes a minimise script names.
    explicit LinuxScriptHost(ApplicationServices &applications);

    std::optional<QString> run(const QString &source) override;

private:
    std::optional<QString> minimizeWindowsOf(const QString &processName);

    ApplicationServices &m_applications;
};

// Removes everything in the freedesktop trash of the current user
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash); links are removed, never followed.
std::optional<QString> emptyFreedesktopTrash();
