#pragma once

#include "platform/freedesktop/AutostartEntry.h"

#include <QObject>

class UserDefaults;

// The settings page's general switches: desktop notifications about the
// phone (kept in the user defaults, on unless switched off) and opening the
// program at login (the user's autostart entry, read afresh each time).
class GeneralSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool notificationsEnabled READ notificationsEnabled WRITE setNotificationsEnabled
                   NOTIFY notificationsEnabledChanged)
    Q_PROPERTY(bool openAtLogin READ openAtLogin WRITE setOpenAtLogin NOTIFY openAtLoginChanged)
public:
    static constexpr const char *notificationsKey = "tendril.notifications.enabled";

    GeneralSettings(UserDefaults &defaults, AutostartEntry autostart, QObject *parent = nullptr);

    bool notificationsEnabled() const;
    void setNotificationsEnabled(bool enabled);
    bool openAtLogin() const { return m_autostart.isEnabled(); }
    void setOpenAtLogin(bool enabled);

signals:
    void notificationsEnabledChanged();
    void openAtLoginChanged();

private:
    UserDefaults &m_defaults;
    AutostartEntry m_autostart;
};
