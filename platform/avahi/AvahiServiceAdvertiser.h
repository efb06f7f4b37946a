#pragma once

#include "platform/ServiceAdvertiser.h"

#include <memory>

// DNS-SD through the Avahi daemon. Avahi's own thread drives the client; it
// waits for a missing daemon and registers again after the daemon restarts,
// picking Avahi's alternative name on a name conflict.
class AvahiServiceAdvertiser : public ServiceAdvertiser {
public:
    AvahiServiceAdvertiser();
    ~AvahiServiceAdvertiser() override;

    void advertise(const QString &name, const QString &type, const QString &domain,
                   quint16 port) override;
    void withdraw() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
