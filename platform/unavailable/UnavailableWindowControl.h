#pragma once

#include "platform/ActionResult.h"
#include "platform/WindowControl.h"

// A desktop whose compositor lets no program steer other applications'
// windows: every request fails with the reason, except what the desktop
// shell may still offer on the bus (KWin's shortcuts, GNOME's overview).
class UnavailableWindowControl : public WindowControl {
public:
    // `reason` completes "Cannot show the desktop: ".
    explicit UnavailableWindowControl(QString reason);

    ActionResult unavailable() override;
    std::optional<FocusedApplication> focused() override { return std::nullopt; }
    QList<DesktopWindow> windows() override { return {}; }
    ActionResult activate(const QString &) override { return m_reason; }
    ActionResult restore(const QStringList &) override { return m_reason; }
    ActionResult minimize(const QStringList &) override { return m_reason; }
    ActionResult close(const QStringList &) override { return m_reason; }
    ActionResult toggleShowingDesktop() override;
    ActionResult toggleOverview() override;

    // The reasons for a session without window control.
    static QString waylandReason();
    static QString noDisplayReason();

private:
    QString m_reason;
};
