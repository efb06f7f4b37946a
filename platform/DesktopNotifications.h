#pragma once

#include <QList>
#include <QObject>
#include <QString>

// Desktop notifications with buttons. The caller names each notification by
// a key of its own; showing under a key already shown replaces that one.
// Where the desktop has no notification service nothing appears.
class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    struct Action {
        QString key;
        QString label;
    };

    using QObject::QObject;

    virtual void show(const QString &key, const QString &summary, const QString &body,
                      const QList<Action> &actions) = 0;
    virtual void withdraw(const QString &key) = 0;

signals:
    // The user pressed the button `action` of the notification `key`.
    void actionInvoked(const QString &key, const QString &action);
};
