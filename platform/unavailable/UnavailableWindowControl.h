#pragma once

#include "platform/WindowControl.h"

// A desktop whose compositor lets no program steer other applications'
// windows: every request fails with the reason, except what the desktop
// shell may still offer on the bus (KWin's shortcuts, GNOME's overview).
class UnavailableWindowControl : public WindowControl {
public:
    // `reason` completes "Cannot show the desktop: ".
    explicit UnavailableWindowControl(QString reason);

    std::optional<QString> unavailable() override;
    std::optional<FocusedApplication> focused() override { return std::nullopt; }
    QList<DesktopWindow> windows() override { return {}; }
    std::optional<QString> activate(const QString &) override { return m_reason; }
    std::optional<QString> restore(const QStringList &) override { return m_reason; }
    std::optional<QString> minimize(const QStringList &) override { return m_reason; }
    std::optional<QString> close(const QStringList &) override { return m_reason; }
    std::optional<QString> toggleShowingDesktop() override;
    std::optional<QString> toggleOverview() override;

    // The reasons for a session without window control.
    static QString waylandReason();
    static QString noDisplayReason();

private:
    QString m_reason;
};
