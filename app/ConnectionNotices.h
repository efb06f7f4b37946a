#pragma once

#include "server/ServerState.h"

#include <QObject>

#include <functional>

class MacServerService;
class DesktopNotifications;

// Tells the desktop user, by notification, when a phone pairs and when the
// paired phone is replaced by another or its connection is lost, unless
// `enabled` says no at that moment. Each notice takes the place of the last.
class ConnectionNotices : public QObject {
    Q_OBJECT
public:
    ConnectionNotices(MacServerService &server, DesktopNotifications &notifications,
                      std::function<bool()> enabled, QObject *parent = nullptr);

private:
    void onStateChanged();
    void onConnectedChanged();
    void tell(const QString &summary, const QString &body);

    MacServerService &m_server;
    DesktopNotifications &m_notifications;
    std::function<bool()> m_enabled;
    // A phone paired on the connection in use, and no notice of its end yet.
    bool m_phonePaired = false;
};
