#pragma once

#include "log/ActionLog.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

class ApplicationServices;
class QuickActions;

// The phone's app-grid commands, each naming an application by its bundle
// identifier and acting on every running instance of it. Main thread only.
class AppControl : public QObject {
    Q_OBJECT
public:
    // After making this program active, the pause before the named
    // application is brought forward.
    static constexpr int activationDelayMs = 50;

    AppControl(ApplicationServices &applications, QuickActions &actions, ActionLog log = ActionLog(),
               QObject *parent = nullptr);

    // Brings the running instances forward, or launches the application
    // when none runs.
    void launchOrActivate(const QString &bundleID);
    void minimizeWindows(const QString &bundleID);
    void hideApp(const QString &bundleID);
    void quitApp(const QString &bundleID);
    // Brings this program forward so that its window can take a drop.
    void dragDropMode(bool active);

    // A desktop that cannot hide or minimise other applications says so
    // once a minute for each of the two commands, not for every request.
    static constexpr int unavailableLogIntervalMs = 60000;

private:
    bool windowSteeringRefused(const QString &tag);

    ApplicationServices &m_applications;
    QuickActions &m_actions;
    ActionLog m_log;
    QHash<QString, QElapsedTimer> m_refusalLogged;
};
