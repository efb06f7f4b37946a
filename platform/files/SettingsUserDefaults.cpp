#include "platform/files/SettingsUserDefaults.h"

#include "platform/files/StandardLocations.h"
#include "platform/files/RegularFile.h"
#include "platform/files/StaleLock.h"

#include <QThread>

SettingsUserDefaults::SettingsUserDefaults()
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    m_retry.callOnTimeout([this] { save(); });
    // QSettings reads the file as it is made; a FIFO would block it there.
    if (fileIsUsable())
        m_settings = std::make_unique<QSettings>(filePath(), QSettings::IniFormat);
}

SettingsUserDefaults::~SettingsUserDefaults()
{
    // The last chance for what is still unsaved: a live writer is given a
    // second to finish, a special file none.
    for (int tries = 0; tries < 10 && !m_unsaved.isEmpty() && fileIsUsable(); ++tries) {
        save();
        if (!m_unsaved.isEmpty())
            QThread::msleep(100);
    }
}

bool SettingsUserDefaults::fileIsUsable()
{
    const QString path = filePath();
    if (!RegularFile::isSpecial(path)) {
        m_reportedSpecial = false;
        return true;
    }
    if (!std::exchange(m_reportedSpecial, true))
        RegularFile::logIgnored(path);
    return false;
}

std::optional<QByteArray> SettingsUserDefaults::data(const QString &key) const
{
    const QVariant stored = value(key);
    if (stored.metaType().id() != QMetaType::QByteArray)
        return std::nullopt;
    return stored.toByteArray();
}

void SettingsUserDefaults::setData(const QString &key, const QByteArray &value)
{
    setValue(key, value);
}

QVariant SettingsUserDefaults::value(const QString &key) const
{
    if (const auto unsaved = m_unsaved.constFind(key); unsaved != m_unsaved.cend())
        return *unsaved;
    return m_settings ? m_settings->value(key) : QVariant();
}

void SettingsUserDefaults::setValue(const QString &key, const QVariant &value)
{
    m_unsaved.insert(key, value);
    save();
}

void SettingsUserDefaults::save()
{
    if (m_unsaved.isEmpty())
        return;
    // QSettings takes the lock itself and would wait for it without limit.
    if (!fileIsUsable() || !StaleLock::takeOverIfStale(filePath() + QStringLiteral(".lock"))) {
        m_retry.start();
        return;
    }
    if (!m_settings)
        m_settings = std::make_unique<QSettings>(filePath(), QSettings::IniFormat);
    for (auto value = m_unsaved.cbegin(); value != m_unsaved.cend(); ++value)
        m_settings->setValue(value.key(), value.value());
    m_unsaved.clear();
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
