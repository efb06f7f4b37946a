#pragma once

#include "platform/ComputerName.h"

// The name systemd-hostnamed gives (pretty, else static), else the pretty
// host name in /etc/machine-info, else the kernel's host name; control
// characters become spaces.
class LinuxComputerName : public ComputerName {
public:
    explicit LinuxComputerName(QString machineInfoPath = QStringLiteral("/etc/machine-info"));
    QString localizedName() override;

    // PRETTY_HOSTNAME from the text of a machine-info file, unquoted.
    static QString prettyHostName(const QByteArray &machineInfo);
    static QString printable(const QString &name);

private:
    QString m_machineInfoPath;
};
