#pragma once

#include "platform/ActionResult.h"
#include "platform/freedesktop/WindowReport.h"

#include <QMutex>

// Windows steered inside GNOME Shell through the extension this program
// ships, which exports a small interface on the shell's own bus connection.
// The focus follows the extension's signal; the window list is asked for.
// An extension the shell has not loaded yet (installed or enabled during
// this login) starts working after the next login.
class GnomeShellWindowControl : public WindowControl {
    Q_OBJECT
public:
    static const QString extensionUuid;

    // Main thread: enables the extension when it is not, and follows the focus.
    GnomeShellWindowControl();

    ActionResult unavailable() override;
    std::optional<QString> notice() override;
    std::optional<FocusedApplication> focused() override;
    QList<DesktopWindow> windows() override;
    ActionResult activate(const QString &window) override;
    ActionResult restore(const QStringList &windows) override;
    ActionResult minimize(const QStringList &windows) override;
    ActionResult close(const QStringList &windows) override;
    ActionResult toggleShowingDesktop() override;
    ActionResult toggleOverview() override;

    // Why window control waits, for the window's status area; none once it works.
    ActionResult pending();

private slots:
    void reportChanged(const QString &report);

private:
    // Asks the extension for its windows; an error when it does not answer.
    ActionResult refresh(WindowReport *report);
    ActionResult call(const QString &method, const QVariantList &arguments);

    QMutex m_mutex;
    WindowReport m_report;
    bool m_loaded = false;
};
