#pragma once

#include "platform/UserDefaults.h"
#include "platform/LoginItem.h"
#include "log/ActionLog.h"

#include <QObject>
#include <QStringList>

#include <optional>

#include <memory>


// The settings the user changes in the window, kept in the program's
// settings file and read once at start. A new switch is one property here:
// a key, a getter, a setter that stores, and a change signal.
class AppSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool requireApproval READ requireApproval WRITE setRequireApproval NOTIFY requireApprovalChanged)
    Q_PROPERTY(bool requireApprovalForRun READ requireApprovalForRun NOTIFY requireApprovalChanged)
    Q_PROPERTY(QStringList approvedPhones READ approvedPhones NOTIFY approvedPhonesChanged)
    Q_PROPERTY(bool notificationsEnabled READ notificationsEnabled WRITE setNotificationsEnabled NOTIFY notificationsEnabledChanged)
    Q_PROPERTY(bool openAtLogin READ openAtLogin WRITE setOpenAtLogin NOTIFY openAtLoginChanged)
    Q_PROPERTY(bool webRemote READ webRemote WRITE setWebRemote NOTIFY webRemoteChanged)
    Q_PROPERTY(bool webRemoteOffForRun READ webRemoteOffForRun NOTIFY webRemoteChanged)
public:
    static inline const QString requireApprovalKey = QStringLiteral("requireApproval");
    static inline const QString approvedPhonesKey = QStringLiteral("approvedPhones");
    static inline const QString notificationsKey = QStringLiteral("notifications");
    static inline const QString webRemoteKey = QStringLiteral("webRemote");

    // `defaults` is the standard settings file unless a test hands in another.
    explicit AppSettings(ActionLog log = {}, std::unique_ptr<UserDefaults> defaults = nullptr,
                         QObject *parent = nullptr);
    ~AppSettings() override;

    // Protected mode: on when stored so or asked for this run.
    bool requireApproval() const { return m_requireApproval || m_requireApprovalForRun; }
    void setRequireApproval(bool on);
    // On for this run only (the command line); nothing is stored.
    bool requireApprovalForRun() const { return m_requireApprovalForRun; }
    void setRequireApprovalForRun(bool on);

    // Addresses as peerAddressText writes them, in the order approved.
    QStringList approvedPhones() const { return m_approvedPhones; }
    bool isApproved(const QString &address) const { return m_approvedPhones.contains(address); }
    void approve(const QString &address);
    Q_INVOKABLE void forget(const QString &address);

    // Notices when a phone pairs, is replaced or is lost; on unless switched off.
    bool notificationsEnabled() const { return m_notificationsEnabled; }
    void setNotificationsEnabled(bool on);

    // The web remote: on unless switched off, or off for this run.
    bool webRemote() const { return m_webRemote && !m_webRemoteOffForRun; }
    void setWebRemote(bool on);
    bool webRemoteOffForRun() const { return m_webRemoteOffForRun; }
    void setWebRemoteOffForRun(bool off);

    // The user's autostart entry, read afresh each time: the file may change
    // outside the program. Off until the shell hands in the entry.
    void setAutostart(std::shared_ptr<const LoginItem> entry) { m_autostart = std::move(entry); }
    bool openAtLogin() const { return m_autostart && m_autostart->isEnabled(); }
    void setOpenAtLogin(bool on);

signals:
    void requireApprovalChanged();
    void approvedPhonesChanged();
    // The user took `address` off the approved phones.
    void phoneForgotten(const QString &address);
    void notificationsEnabledChanged();
    void openAtLoginChanged();
    void webRemoteChanged();

private:
    bool readFlag(const QString &key, bool fallback) const;
    QStringList readAddresses(const QString &key) const;
    void storeApprovedPhones();

    ActionLog m_log;
    std::unique_ptr<UserDefaults> m_defaults;
    bool m_requireApproval = false;
    bool m_requireApprovalForRun = false;
    QStringList m_approvedPhones;
    bool m_notificationsEnabled = true;
    bool m_webRemote = true;
    bool m_webRemoteOffForRun = false;
    std::shared_ptr<const LoginItem> m_autostart;
};
