#pragma once

#include "platform/ActionResult.h"
#include "platform/ApplicationServices.h"
#include "platform/ComputerName.h"
#include "platform/DesktopActions.h"
#include "platform/DesktopNotifications.h"
#include "platform/FileViewer.h"
#include "platform/ScreenCapture.h"
#include "platform/ServiceAdvertiser.h"

// The services of a machine without a desktop. What needs one fails with a
// reason; what finds things (installed bundles, the host name) works.

// No process list or windows: nothing runs, nothing is in front. Installed
// bundles are found in the standard application folders.
class NoApplicationServices : public ApplicationServices {
public:
    QList<RunningApplication> runningApplications() override { return {}; }
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::optional<QString> ownBundleIdentifier() override { return std::nullopt; }
    std::optional<QString> urlForApplication(const QString &bundleIdentifier) override;
    // Completes at once with the reason.
    void openApplication(const QString &bundlePath,
                         std::function<void(ActionResult error)> completion) override;
    void unhide(const RunningApplication &) override {}
    void activate(const RunningApplication &) override {}
    void hide(const RunningApplication &) override {}
    void terminate(const RunningApplication &) override {}
    void activateSelf() override {}
    ActionResult windowSteeringUnavailable() override;
};

class NoDesktopActions : public DesktopActions {
public:
    ActionResult lockScreen() override;
    ActionResult emptyTrash() override;
    ActionResult toggleDarkMode() override;
    ActionResult showDesktop() override;
    ActionResult overview() override;
    ActionResult setOutputVolume(int level) override;
    ActionResult minimize(const RunningApplication &app) override;
};

class NoScreenCapture : public ScreenCapture {
public:
    ActionResult capture(const QString &path) override;
};

// Nothing to show the file in; the file stays where it was written.
class NoFileViewer : public FileViewer {
public:
    void showFile(const QString &) override {}
};

// No DNS-SD: says so once in the log, and phones connect by address.
class NoServiceAdvertiser : public ServiceAdvertiser {
public:
    void advertise(const QString &name, const QString &type, const QString &domain, quint16 port) override;
    void withdraw() override {}
    bool warned() const { return m_warned; }

private:
    bool m_warned = false;
};

// The host name the system reports.
class HostComputerName : public ComputerName {
public:
    QString localizedName() override;
};

// No notification service: nothing appears, no button is ever pressed.
class NoNotifications : public DesktopNotifications {
public:
    using DesktopNotifications::DesktopNotifications;
    void show(const QString &, const QString &, const QString &, const QList<Action> &) override {}
    void withdraw(const QString &) override {}
};

// The reason every desktop request fails here.
QString noDesktopReason(const QString &what);
