#pragma once

#include <QString>

// DNS-SD registration of one service. Registering again replaces the earlier
// registration. Failures are silent: the service simply is not visible.
class ServiceAdvertiser {
public:
    virtual ~ServiceAdvertiser() = default;
    virtual void advertise(const QString &name, const QString &type, const QString &domain,
                           quint16 port) = 0;
    virtual void withdraw() = 0;
};
