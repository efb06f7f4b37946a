#pragma once

#include "platform/ApplicationServices.h"

// Applications on Linux are processes of the current user whose program lies
// in NAME.app/Contents/MacOS/ (a binary, or a script run by its interpreter);
// identifier and name come from that bundle's Info.plist. Windows are steered
// through the window manager (EWMH) when an X display allows. Keeps no state,
// so any thread may ask.
class LinuxApplicationServices : public ApplicationServices {
public:
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
};

// The application bundle whose Contents/MacOS/ holds `programPath`, or none.
std::optional<QString> bundleOfProgram(const QString &programPath);
// The running application for one process, when it runs from a bundle.
std::optional<RunningApplication> runningApplicationOfProcess(qint64 pid);
