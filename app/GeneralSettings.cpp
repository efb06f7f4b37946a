#include "app/GeneralSettings.h"

#include "app/AppLog.h"
#include "platform/UserDefaults.h"

GeneralSettings::GeneralSettings(UserDefaults &defaults, AutostartEntry autostart, QObject *parent)
    : QObject(parent), m_defaults(defaults), m_autostart(std::move(autostart))
{
}

bool GeneralSettings::notificationsEnabled() const
{
    return m_defaults.data(QLatin1String(notificationsKey)).value_or("true") != "false";
}

void GeneralSettings::setNotificationsEnabled(bool enabled)
{
    if (enabled == notificationsEnabled())
        return;
    m_defaults.setData(QLatin1String(notificationsKey), enabled ? "true" : "false");
    emit notificationsEnabledChanged();
}

void GeneralSettings::setOpenAtLogin(bool enabled)
{
    QString error;
    if (!m_autostart.setEnabled(enabled, &error))
        qCWarning(lcApp).noquote() << QStringLiteral("Cannot change %1: %2")
                                          .arg(m_autostart.filePath(), error);
    // Said even on failure, so the switch shows what the file says.
    emit openAtLoginChanged();
}
