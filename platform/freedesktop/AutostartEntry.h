#pragma once

#include <QString>

// The user's XDG autostart entry for the program
// ($XDG_CONFIG_HOME/autostart/ID.desktop): written to open the program at
// login, removed to stop that.
class AutostartEntry {
public:
    // `program` is the path written into Exec.
    AutostartEntry(QString desktopId, QString program);

    QString filePath() const;
    // The entry exists and is not switched off (Hidden, or GNOME's own key).
    bool isEnabled() const;
    // False and `error` set when the file cannot be written or removed.
    bool setEnabled(bool enabled, QString *error = nullptr) const;

private:
    QString m_desktopId;
    QString m_program;
};
