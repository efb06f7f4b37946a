#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

// A per-user key/value store that survives restarts.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    // The byte blob under `key`; nothing when the key is missing or holds a
    // value of another type.
    virtual std::optional<QByteArray> data(const QString &key) const = 0;
    virtual void setData(const QString &key, const QByteArray &value) = 0;

    // Any value as the store keeps it (text, list of texts, truth value);
    // an invalid value when the key is missing.
    virtual QVariant value(const QString &key) const = 0;
    virtual void setValue(const QString &key, const QVariant &value) = 0;
};

// The user defaults kept in an INI file under the user's config folder.
class SettingsUserDefaults : public UserDefaults {
public:
    // Opens the file at `filePath()` as computed now.
    SettingsUserDefaults();

    std::optional<QByteArray> data(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override;
    QVariant value(const QString &key) const override;
    void setValue(const QString &key, const QVariant &value) override;

    // $XDG_CONFIG_HOME (else ~/.config) + "/Tendril/Tendril.conf". QSettings'
    // own default paths are fixed at first use, so the path is computed here.
    static QString filePath();

private:
    std::unique_ptr<QSettings> m_settings;
};

// The standard user defaults of the program.
std::unique_ptr<UserDefaults> standardUserDefaults();
