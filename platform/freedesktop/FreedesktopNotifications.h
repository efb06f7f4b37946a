#pragma once

#include "platform/DesktopNotifications.h"

#include <QHash>

// Notifications through org.freedesktop.Notifications on the session bus.
// Calls never wait for the service; its answers arrive later.
class FreedesktopNotifications : public DesktopNotifications {
    Q_OBJECT
public:
    using DesktopNotifications::DesktopNotifications;

    void show(const QString &key, const QString &summary, const QString &body,
              const QList<Action> &actions) override;
    void withdraw(const QString &key) override;

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Shown {
        quint64 request = 0; // the latest Notify call made for the key
        uint id = 0;         // the service's id, once it has answered
    };

    bool listen();
    void close(uint id);
    QString keyOf(uint id) const;

    QHash<QString, Shown> m_shown;
    quint64 m_lastRequest = 0;
    bool m_listening = false;
};
