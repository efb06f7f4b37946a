#pragma once

#include "platform/ApplicationServices.h"
#include "platform/freedesktop/RunningApplicationMatcher.h"

#include <QElapsedTimer>
#include <QMutex>

#include <memory>

class X11Desktop;

// Applications on Linux are processes of the current user, either running
// from an application bundle (a program in NAME.app/Contents/MacOS/, named by
// its Info.plist) or started from a desktop entry (named by its desktop-file
// ID). Windows are steered through the window manager (EWMH) when an X
// display allows; a Wayland session offers no such control over other
// applications. Any thread may ask.
class LinuxApplicationServices : public ApplicationServices {
public:
    LinuxApplicationServices();
    ~LinuxApplicationServices() override;

    QList<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<QString> ownBundleIdentifier() override;

    std::optional<QString> urlForApplication(const QString &bundleIdentifier) override;
    void openApplication(const QString &bundlePath,
                         std::function<void(std::optional<QString> error)> completion) override;

    void unhide(const RunningApplication &app) override;
    void activate(const RunningApplication &app) override;
    void hide(const RunningApplication &app) override;
    void terminate(const RunningApplication &app) override;
    void activateSelf() override;
    std::optional<QString> windowSteeringUnavailable() override;

private:
    // The processes' applications, read again unless the last look is a
    // moment old (one poll asks for the list, the front and its own).
    RunningSnapshot snapshot(bool reuseRecent);
    // The application's windows, bottom to top; normal ones only if asked.
    QList<std::uint32_t> windowsOf(const RunningApplication &app, bool normalOnly);
    X11Desktop *x11(); // none on Wayland or without a display; call locked

    QMutex m_mutex;
    ProcessTable m_processes;
    std::unique_ptr<X11Desktop> m_x11;
    RunningSnapshot m_recent;
    QElapsedTimer m_recentAge;
};

// The application bundle whose Contents/MacOS/ holds `programPath`, or none.
std::optional<QString> bundleOfProgram(const QString &programPath);
// The running application for one process, when it runs from a bundle.
std::optional<RunningApplication> runningApplicationOfProcess(qint64 pid);
std::optional<RunningApplication> bundleApplicationOf(const ProcessRecord &process);
