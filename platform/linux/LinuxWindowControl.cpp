#include "platform/freedesktop/DesktopSession.h"
#include "platform/WindowControl.h"
#include "platform/gnome/GnomeShellWindowControl.h"
#include "platform/kwin/KWinWindowControl.h"
#include "platform/unavailable/UnavailableWindowControl.h"
#include "platform/x11/X11WindowControl.h"

#include <memory>

namespace {

std::unique_ptr<WindowControl> makeWindowControl(const DesktopSession &session)
{
    switch (session.windowControl) {
    case DesktopSession::WindowControl::x11:
        return std::make_unique<X11WindowControl>();
    case DesktopSession::WindowControl::kwin:
        return std::make_unique<KWinWindowControl>();
    case DesktopSession::WindowControl::gnomeShell:
        return std::make_unique<GnomeShellWindowControl>();
    case DesktopSession::WindowControl::unavailable:
        break;
    }
    return std::make_unique<UnavailableWindowControl>(session.wayland || !session.x11Display
                                                           ? UnavailableWindowControl::waylandReason()
                                                           : UnavailableWindowControl::noDisplayReason());
}

} // namespace

WindowControl &systemWindowControl()
{
    static const std::unique_ptr<WindowControl> control = makeWindowControl(DesktopSession::current());
    return *control;
}
