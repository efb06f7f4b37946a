#pragma once

#include "platform/ActionResult.h"
#include "platform/freedesktop/WindowReport.h"

#include <QDBusContext>
#include <QMutex>
#include <QTemporaryDir>

#include <atomic>

// Windows steered inside KWin (Plasma 5.27 and 6), which alone may do so on
// Wayland: a watcher script loaded at start reports every window and focus
// change back over the session bus, so the focus and the window list are read
// from a cache; each request is a short script that KWin runs once and then
// unloads.
class KWinWindowControl : public WindowControl, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tendril.WindowWatch")
public:
    // Main thread: registers the watch object on the session bus.
    KWinWindowControl();
    ~KWinWindowControl() override;

    ActionResult unavailable() override;
    std::optional<FocusedApplication> focused() override;
    QList<DesktopWindow> windows() override;
    ActionResult activate(const QString &window) override;
    ActionResult restore(const QStringList &windows) override;
    ActionResult minimize(const QStringList &windows) override;
    ActionResult close(const QStringList &windows) override;
    ActionResult toggleShowingDesktop() override;
    ActionResult toggleOverview() override;

    // The object path of loaded script `id`: "/ID" before Plasma 6.
    static QStringList scriptPaths(int id);

public slots:
    // The watcher's report: {"active": id, "windows": [...]}, as JSON.
    Q_SCRIPTABLE void windowsChanged(const QString &report);

private:
    // Loads the watcher script into KWin, which reports from then on.
    void startWatch();
    // Loads `source` as a script and runs it.
    ActionResult runScript(const QString &source, const QString &name);
    ActionResult act(const QString &operation, const QStringList &windows);

    QTemporaryDir m_scripts;
    ActionResult m_failure; // why the watcher is not running; guarded by m_mutex
    std::atomic<int> m_calls{0};
    QMutex m_mutex;
    WindowReport m_report;
};
