#include "platform/freedesktop/DesktopShell.h"

std::optional<QString> toggleShellOverview()
{
    const std::optional<QString> gnome = toggleGnomeOverview();
    if (!gnome)
        return std::nullopt;
    const std::optional<QString> kwin = invokeKWinShortcut(QStringLiteral("Overview"));
    if (!kwin)
        return std::nullopt;
    return QStringLiteral("Mission Control has no counterpart on this desktop: GNOME Shell: %1; KWin: %2")
        .arg(*gnome, *kwin);
}
