#pragma once

#include "platform/UserDefaults.h"

#include <QHash>
#include <QSettings>
#include <QTimer>

#include <memory>

// The user defaults kept in an INI file under the user's config folder.
// Writing never waits: when the file's lock is held by a live process, or the
// file is not a regular one (a FIFO, a device), the values are kept here and
// written on a later try (main thread's event loop) or at destruction.
class SettingsUserDefaults : public UserDefaults {
public:
    static constexpr int retryMs = 250;

    // Opens the file at `filePath()` as computed now; a special file there is
    // read as no file.
    SettingsUserDefaults();
    ~SettingsUserDefaults() override;

    std::optional<QByteArray> data(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override;
    QVariant value(const QString &key) const override;
    void setValue(const QString &key, const QVariant &value) override;

    // Values set but not yet in the file.
    bool hasUnsavedValues() const { return !m_unsaved.isEmpty(); }

    // $XDG_CONFIG_HOME (else ~/.config) + "/Tendril/Tendril.conf". QSettings'
    // own default paths are fixed at first use, so the path is computed here.
    static QString filePath();

private:
    // True when the file is usable now; logs once when it is not.
    bool fileIsUsable();
    void save();

    std::unique_ptr<QSettings> m_settings;
    QHash<QString, QVariant> m_unsaved;
    QTimer m_retry;
    bool m_reportedSpecial = false;
};

// The standard user defaults of the program.
std::unique_ptr<UserDefaults> standardUserDefaults();
