#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications) on a bus. Each new notice replaces the
// previous one, so the latest connection news is the one on screen. Calls
// are asynchronous; a bus without the service just drops them.
class NotificationSender : public QObject {
    Q_OBJECT
public:
    explicit NotificationSender(QDBusConnection bus, QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body);

signals:
    // The service's answer: the notice's id, or 0 when it failed.
    void delivered(uint id);

private:
    QDBusConnection m_bus;
    uint m_lastId = 0;
};
