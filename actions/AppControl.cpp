#include "actions/AppControl.h"

#include "platform/ApplicationServices.h"
#include "actions/QuickActions.h"

#include <QTimer>

namespace {

QList<RunningApplication> matching(ApplicationServices &applications, const QString &bundleID)
{
    QList<RunningApplication> matches;
    for (const RunningApplication &app : applications.runningApplications())
        if (app.bundleIdentifier == bundleID)
            matches.append(app);
    return matches;
}

} // namespace

AppControl::AppControl(ApplicationServices &applications, QuickActions &actions, ActionLog log,
                       QObject *parent)
    : QObject(parent), m_applications(applications), m_actions(actions), m_log(std::move(log))
{
}

void AppControl::launchOrActivate(const QString &bundleID)
{
    const QList<RunningApplication> running = matching(m_applications, bundleID);
    if (!running.isEmpty()) {
        m_applications.activateSelf();
        QTimer::singleShot(activationDelayMs, Qt::PreciseTimer, this, [this, running] {
            for (const RunningApplication &app : running) {
                m_applications.unhide(app);
                m_applications.activate(app);
            }
        });
        return;
    }

    const std::optional<QString> location = m_applications.urlForApplication(bundleID);
    if (!location) {
        m_log.write(QStringLiteral("[Launch] Cannot find: ") + bundleID);
        return;
    }
    // The completion may come on any thread; it only logs.
    m_applications.openApplication(*location, [log = m_log, bundleID](ActionResult error) {
        if (error)
            log.write(QStringLiteral("[Launch] ") + bundleID + QStringLiteral(": ") + *error);
    });
}

void AppControl::minimizeWindows(const QString &bundleID)
{
    const QList<RunningApplication> running = matching(m_applications, bundleID);
    if (running.isEmpty() || windowSteeringRefused(QStringLiteral("[Minimize] ")))
        return;
    m_actions.minimizeWindows(running.first());
}

void AppControl::hideApp(const QString &bundleID)
{
    const QList<RunningApplication> running = matching(m_applications, bundleID);
    if (running.isEmpty() || windowSteeringRefused(QStringLiteral("[Hide] ")))
        return;
    for (const RunningApplication &app : running)
        m_applications.hide(app);
}

bool AppControl::windowSteeringRefused(const QString &tag)
{
    const ActionResult reason = m_applications.windowSteeringUnavailable();
    if (!reason)
        return false;
    QElapsedTimer &last = m_refusalLogged[tag];
    if (!last.isValid() || last.elapsed() >= unavailableLogIntervalMs) {
        m_log.write(tag + *reason);
        last.start();
    }
    return true;
}

void AppControl::quitApp(const QString &bundleID)
{
    for (const RunningApplication &app : matching(m_applications, bundleID))
        m_applications.terminate(app);
}

void AppControl::dragDropMode(bool active)
{
    if (active)
        m_applications.activateSelf();
}
