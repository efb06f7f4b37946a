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
    virtual ActionResult unavailable() { return std::nullopt; }
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
