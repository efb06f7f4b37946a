#pragma once

#include "platform/ComputerName.h"

#include <QObject>

#include <optional>

// The name systemd-hostnamed gives (pretty, else static), else the pretty
// host name in /etc/machine-info, else the kernel's host name; control
// characters are taken out. hostnamed is asked in the background at every
// call, so a hung service never holds the caller up: until it has answered,
// the local names stand in, and a different answer is announced.
class LinuxComputerName : public ComputerName {
public:
    explicit LinuxComputerName(QString machineInfoPath = QStringLiteral("/etc/machine-info"));
    QString localizedName() override;

    // PRETTY_HOSTNAME from the text of a machine-info file, unquoted.
    static QString prettyHostName(const QByteArray &machineInfo);
    static QString printable(const QString &name);

private:
    QString localName() const;
    void lookUp();
    QString bestName() const;

    QString m_machineInfoPath;
    std::optional<QString> m_hostname1; // hostnamed's last answer
    QString m_lastGiven;
    bool m_lookingUp = false;
    QObject m_lookups; // pending lookups end with this object
};
