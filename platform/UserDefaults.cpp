#include "platform/UserDefaults.h"

#include "platform/StandardLocations.h"

SettingsUserDefaults::SettingsUserDefaults()
    : m_settings(std::make_unique<QSettings>(filePath(), QSettings::IniFormat))
{
}

std::optional<QByteArray> SettingsUserDefaults::data(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.metaType().id() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void SettingsUserDefaults::setData(const QString &key, const QByteArray &value)
{
    setValue(key, value);
}

QVariant SettingsUserDefaults::value(const QString &key) const
{
    return m_settings->value(key);
}

void SettingsUserDefaults::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
    // Written through at once: the next start (or another store) reads the file.
    m_settings->sync();
}

QString SettingsUserDefaults::filePath()
{
    return StandardLocations::configDirectory() + QStringLiteral("/Tendril/Tendril.conf");
}

std::unique_ptr<UserDefaults> standardUserDefaults()
{
    return std::make_unique<SettingsUserDefaults>();
}
