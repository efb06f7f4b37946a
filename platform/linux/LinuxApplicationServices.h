#pragma once

#include "platform/ActionResult.h"
#include "platform/ApplicationServices.h"
#include "platform/freedesktop/RunningApplicationMatcher.h"

#include <QElapsedTimer>
#include <QMutex>

#include <memory>

class WindowControl;

// Applications on Linux are processes of the current user, either running
// from an application bundle (a program in NAME.app/Contents/MacOS/, named by
// its Info.plist) or started from a desktop entry (named by its desktop-file
// ID). Windows are steered through the session's window control: the X11
// window manager or the compositor. Any thread may ask.
class LinuxApplicationServices : public ApplicationServices {
public:
    LinuxApplicationServices(); // the session's window control
    explicit LinuxApplicationServices(WindowControl &windows);
    ~LinuxApplicationServices() override;

    QList<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<QString> ownBundleIdentifier() override;

    std::optional<QString> urlForApplication(const QString &bundleIdentifier) override;
    void openApplication(const QString &bundlePath,
                         std::function<void(ActionResult error)> completion) override;

    void unhide(const RunningApplication &app) override;
    void activate(const RunningApplication &app) override;
    void hide(const RunningApplication &app) override;
    void terminate(const RunningApplication &app) override;
    void activateSelf() override;
    ActionResult windowSteeringUnavailable() override;
    std::optional<QString> windowControlNotice() override;

    // Minimises every application window of `app`; hiding is that on Linux.
    ActionResult minimizeWindows(const RunningApplication &app);

private:
    // The processes' applications, read again unless the last look is a
    // moment old (one poll asks for the list, the front and its own).
    RunningSnapshot snapshot(bool reuseRecent);
    // The application's windows, bottom to top; normal ones only if asked.
    QStringList windowsOf(const RunningApplication &app, bool normalOnly);

    WindowControl &m_windows;
    QMutex m_mutex;
    ProcessTable m_processes;
    RunningSnapshot m_recent;
    QElapsedTimer m_recentAge;
};

// The application bundle whose Contents/MacOS/ holds `programPath`, or none.
std::optional<QString> bundleOfProgram(const QString &programPath);
// The running application for one process, when it runs from a bundle.
std::optional<RunningApplication> runningApplicationOfProcess(qint64 pid);
std::optional<RunningApplication> bundleApplicationOf(const ProcessRecord &process);
