#pragma once

#include "platform/ComputerName.h"

// The pretty host name (systemd's /etc/machine-info) where there is one,
// else the host name.
class LinuxComputerName : public ComputerName {
public:
    explicit LinuxComputerName(QString machineInfoPath = QStringLiteral("/etc/machine-info"));
    QString localizedName() override;

    // PRETTY_HOSTNAME from the text of a machine-info file, unquoted.
    static QString prettyHostName(const QByteArray &machineInfo);

private:
    QString m_machineInfoPath;
};
