#pragma once

#include "platform/ActionResult.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One running application as the desktop lists it.
struct RunningApplication {
    qint64 processIdentifier = 0;
    std::optional<QString> bundleIdentifier;
    std::optional<QString> localizedName;
    QString bundlePath;

    friend bool operator==(const RunningApplication &, const RunningApplication &) = default;
};

// The desktop's application services: listing, launching and steering
// applications. Calls come from the main thread; an open completion may come
// from any thread.
class ApplicationServices {
public:
    virtual ~ApplicationServices() = default;

    // In a stable order, read afresh on every call.
    virtual QList<RunningApplication> runningApplications() = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // This program's own bundle identifier, when it has one.
    virtual std::optional<QString> ownBundleIdentifier() = 0;

    // Path of an installed application bundle with this identifier, or none.
    virtual std::optional<QString> urlForApplication(const QString &bundleIdentifier) = 0;
    // Launch (or activate) the application at `bundlePath`; completion gets
    // the error's description, or none on success.
    virtual void openApplication(const QString &bundlePath,
                                 std::function<void(ActionResult error)> completion) = 0;

    virtual void unhide(const RunningApplication &app) = 0;
    virtual void activate(const RunningApplication &app) = 0;
    virtual void hide(const RunningApplication &app) = 0;
    // The ordinary quit request, never a forced kill.
    virtual void terminate(const RunningApplication &app) = 0;
    // Make this program the active application.
    virtual void activateSelf() = 0;
    // Why other applications' windows cannot be hidden or minimised on this
    // desktop, or none when they can.
    virtual ActionResult windowSteeringUnavailable() { return std::nullopt; }
    // A short word for the window's status area when window control waits
    // for something the user does (the next login, say); none otherwise.
    virtual std::optional<QString> windowControlNotice() { return std::nullopt; }
};
