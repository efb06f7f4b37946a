#pragma once

#include "platform/ActionResult.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// One top-level window as the window manager or compositor lists it.
struct DesktopWindow {
    QString id;          // the backend's own handle
    qint64 pid = 0;      // 0 when unknown
    QString desktopFile; // the desktop-file ID the compositor knows it by, if any
    QString instance, windowClass; // X11 WM_CLASS, or the Wayland app ID as class
    bool normal = true;  // an application window, not a panel, dock or dialog
    bool minimized = false;

    friend bool operator==(const DesktopWindow &, const DesktopWindow &) = default;
};

// The application whose window has the focus.
struct FocusedApplication {
    QString desktopFile;
    qint64 pid = 0;

    friend bool operator==(const FocusedApplication &, const FocusedApplication &) = default;
};

// A compositor's report of its windows and the focused one's id, as JSON:
// {"active": ID, "time": MS, "windows": [{"id", "pid", "desktopFile",
// "instance", "windowClass", "normal", "minimized"}]}; none for anything else.
struct WindowReport {
    QList<DesktopWindow> windows;
    QString active;
    qint64 timeMs = 0; // when the compositor made it, since 1970; 0 when not told

    std::optional<FocusedApplication> focused() const;
};
std::optional<WindowReport> parseWindowReport(const QByteArray &json);

// Which windows belong to one running application: those of its processes,
// and those the compositor names by its desktop-file ID.
struct WindowTarget {
    QString desktopId;
    QList<qint64> pids;
};

// The ids of `target`'s windows among `windows`, in their order; application
// windows only when `normalOnly`. Never the resource class: an XWayland
// window's class is only the program's file name.
QStringList windowsOf(const QList<DesktopWindow> &windows, const WindowTarget &target, bool normalOnly);

// Steering other applications' windows through whoever can: the X11 window
// manager or a Wayland compositor. Errors are descriptions for a log line.
// Calls come from the main thread or the background pool; the focus signal
// comes on the main thread.
class WindowControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Why this desktop lets no program steer other applications' windows, or
    // none when it does (perhaps only after a later login).
    virtual std::optional<QString> unavailable() { return std::nullopt; }
    // What the window should tell the user about window control, if anything.
    virtual std::optional<QString> notice() { return std::nullopt; }

    // The focused application; cached where the compositor reports changes.
    virtual std::optional<FocusedApplication> focused() = 0;
    // Every managed window, bottom to top.
    virtual QList<DesktopWindow> windows() = 0;

    // Brings the window to the front, unminimising it.
    virtual ActionResult activate(const QString &window) = 0;
    virtual ActionResult restore(const QStringList &windows) = 0;
    virtual ActionResult minimize(const QStringList &windows) = 0;
    // Asks each window to close, as its close button would: the application
    // may ask the user about unsaved work, and may refuse.
    virtual ActionResult close(const QStringList &windows) = 0;
    // Shows the desktop, or brings the windows back when it is shown.
    virtual ActionResult toggleShowingDesktop() = 0;
    virtual ActionResult toggleOverview() = 0;

    // When the compositor made the report behind the last focus change (ms
    // since 1970, its clock is this machine's), for measuring how late it came.
    qint64 focusReportTimeMs() const { return m_focusReportTimeMs; }

signals:
    void focusChanged();

protected:
    std::atomic<qint64> m_focusReportTimeMs{0};
};

// The backend for this session (DesktopSession), made on the first call.
WindowControl &systemWindowControl();
