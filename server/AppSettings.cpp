#include "server/AppSettings.h"

#include "platform/files/SettingsUserDefaults.h"
#include "transport/PeerAddress.h"

AppSettings::AppSettings(ActionLog log, std::unique_ptr<UserDefaults> defaults, QObject *parent)
    : QObject(parent), m_log(std::move(log)),
      m_defaults(defaults ? std::move(defaults) : standardUserDefaults())
{
    m_requireApproval = readFlag(requireApprovalKey, false);
    m_approvedPhones = readAddresses(approvedPhonesKey);
    m_notificationsEnabled = readFlag(notificationsKey, true);
    m_webRemote = readFlag(webRemoteKey, true);
}

AppSettings::~AppSettings() = default;

// A value that is neither true nor false is reported, and the safer choice
// is taken: `fallback` is what the program does when nothing is stored.
bool AppSettings::readFlag(const QString &key, bool fallback) const
{
    const QVariant value = m_defaults->value(key);
    if (!value.isValid())
        return fallback;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    m_log.write(QStringLiteral("[Settings] %1 in the settings file is neither true nor false; "
                               "taken as true").arg(key));
    return true;
}

// A list of address texts; the settings file stores a single one as plain
// text. Anything else, or any entry that is not an address, gives none.
QStringList AppSettings::readAddresses(const QString &key) const
{
    const QVariant value = m_defaults->value(key);
    const auto malformed = [&] {
        m_log.write(QStringLiteral("[Settings] %1 in the settings file is not a list of "
                                   "addresses; no phone is approved").arg(key));
        return QStringList();
    };
    QStringList entries;
    if (value.metaType().id() == QMetaType::QStringList)
        entries = value.toStringList();
    else if (value.metaType().id() == QMetaType::QString && !value.toString().isEmpty())
        entries = {value.toString()};
    else if (value.isValid() && !(value.metaType().id() == QMetaType::QString))
        return malformed();

    QStringList addresses;
    for (const QString &entry : entries) {
        const std::optional<QString> address = normalizedAddressText(entry);
        if (!address)
            return malformed();
        if (!addresses.contains(*address))
            addresses.append(*address);
    }
    return addresses;
}

void AppSettings::setRequireApproval(bool on)
{
    if (m_requireApproval == on)
        return;
    m_requireApproval = on;
    m_defaults->setValue(requireApprovalKey, on);
    emit requireApprovalChanged();
}

void AppSettings::setRequireApprovalForRun(bool on)
{
    if (m_requireApprovalForRun == on)
        return;
    m_requireApprovalForRun = on;
    emit requireApprovalChanged();
}

void AppSettings::approve(const QString &address)
{
    if (address.isEmpty() || m_approvedPhones.contains(address))
        return;
    m_approvedPhones.append(address);
    storeApprovedPhones();
}

void AppSettings::forget(const QString &address)
{
    if (m_approvedPhones.removeAll(address) == 0)
        return;
    storeApprovedPhones();
    emit phoneForgotten(address);
}

void AppSettings::storeApprovedPhones()
{
    m_defaults->setValue(approvedPhonesKey, m_approvedPhones);
    emit approvedPhonesChanged();
}

void AppSettings::setNotificationsEnabled(bool on)
{
    if (m_notificationsEnabled == on)
        return;
    m_notificationsEnabled = on;
    m_defaults->setValue(notificationsKey, on);
    emit notificationsEnabledChanged();
}

void AppSettings::setWebRemote(bool on)
{
    if (m_webRemote == on)
        return;
    m_webRemote = on;
    m_defaults->setValue(webRemoteKey, on);
    emit webRemoteChanged();
}

void AppSettings::setWebRemoteOffForRun(bool off)
{
    if (m_webRemoteOffForRun == off)
        return;
    m_webRemoteOffForRun = off;
    emit webRemoteChanged();
}

void AppSettings::setOpenAtLogin(bool on)
{
    QString error;
    if (m_autostart && !m_autostart->setEnabled(on, &error))
        m_log.write(QStringLiteral("[Settings] Cannot change %1: %2").arg(m_autostart->location(), error));
    // Said even on failure, so the switch shows what the file says.
    emit openAtLoginChanged();
}
