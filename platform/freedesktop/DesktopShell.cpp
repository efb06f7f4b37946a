#include "platform/freedesktop/DesktopShell.h"

ActionResult toggleShellOverview()
{
    const ActionResult gnome = toggleGnomeOverview();
    if (!gnome)
        return std::nullopt;
    const ActionResult kwin = invokeKWinShortcut(QStringLiteral("Overview"));
    if (!kwin)
        return std::nullopt;
    return QStringLiteral("Mission Control has no counterpart on this desktop: GNOME Shell: %1; KWin: %2")
        .arg(*gnome, *kwin);
}
