#pragma once

#include "platform/LoginItem.h"

#include <QString>

// The user's XDG autostart entry for the program
// ($XDG_CONFIG_HOME/autostart/ID.desktop): written to open the program at
// login, removed to stop that.
class AutostartEntry : public LoginItem {
public:
    // `program` is the path written into Exec.
    AutostartEntry(QString desktopId, QString program);

    QString filePath() const;
    QString location() const override { return filePath(); }
    // The entry exists and is not switched off (Hidden, or GNOME's own key).
    bool isEnabled() const override;
    // False and `error` set when the file cannot be written or removed.
    bool setEnabled(bool enabled, QString *error = nullptr) const override;

private:
    QString m_desktopId;
    QString m_program;
};
