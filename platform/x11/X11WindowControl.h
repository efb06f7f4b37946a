#pragma once

#include "platform/ActionResult.h"
#include "platform/WindowControl.h"

#include <QMutex>
#include <QSocketNotifier>

#include <memory>

class X11Desktop;

// Windows steered through the X11 window manager's EWMH hints, over one
// connection of its own, (re)opened when needed. The focus follows the root
// window's _NET_ACTIVE_WINDOW changes on a second connection, read on the
// thread that made this object; without it, it is read when asked.
class X11WindowControl : public WindowControl {
public:
    X11WindowControl();
    ~X11WindowControl() override;

    ActionResult unavailable() override;
    std::optional<FocusedApplication> focused() override;
    QList<DesktopWindow> windows() override;
    ActionResult activate(const QString &window) override;
    ActionResult restore(const QStringList &windows) override;
    ActionResult minimize(const QStringList &windows) override;
    ActionResult close(const QStringList &windows) override;
    ActionResult toggleShowingDesktop() override;
    ActionResult toggleOverview() override;

private:
    X11Desktop *desktop(); // none without a display; call locked
    void readFocus();

    std::unique_ptr<X11Desktop> m_watch;
    std::optional<qint64> m_focusedPid;

    QMutex m_mutex;
    std::unique_ptr<X11Desktop> m_desktop;
};
