#include "platform/avahi/AvahiServiceAdvertiser.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <avahi-common/timeval.h>

#include <QByteArray>

#include <optional>
#include <string>

namespace {
constexpr int kReconnectDelayMs = 5000;
constexpr qsizetype kMaximumLabelBytes = 63; // one DNS label

// A DNS-SD instance name is one label: a longer computer name is cut at a
// character boundary rather than refused.
std::string serviceLabel(const QString &name)
{
    QByteArray utf8 = name.toUtf8();
    if (utf8.size() > kMaximumLabelBytes) {
        qsizetype end = kMaximumLabelBytes;
        while (end > 0 && (uchar(utf8[end]) & 0xC0) == 0x80)
            --end; // never split a multi-byte character
        utf8.truncate(end);
    }
    return utf8.toStdString();
}
} // namespace

// Everything below runs either on Avahi's thread (callbacks) or on the
// caller's thread with Avahi's poll lock held.
struct AvahiServiceAdvertiser::Private {
    struct Service {
        std::string name;
        std::string type;
        std::string domain;
        quint16 port = 0;
    };

    AvahiThreadedPoll *poll = nullptr;
    AvahiClient *client = nullptr;
    AvahiEntryGroup *group = nullptr;
    AvahiTimeout *reconnectTimer = nullptr;
    std::optional<Service> wanted;

    void connectClient()
    {
        int error = 0;
        client = avahi_client_new(avahi_threaded_poll_get(poll), AVAHI_CLIENT_NO_FAIL,
                                  &Private::clientCallback, this, &error);
        if (!client)
            scheduleReconnect(); // no system bus yet
    }

    void dropClient()
    {
        group = nullptr; // freed with its client
        if (client)
            avahi_client_free(client);
        client = nullptr;
    }

    void scheduleReconnect()
    {
        timeval when;
        avahi_elapse_time(&when, kReconnectDelayMs, 0);
        const AvahiPoll *api = avahi_threaded_poll_get(poll);
        if (reconnectTimer)
            api->timeout_update(reconnectTimer, &when);
        else
            reconnectTimer = api->timeout_new(api, &when, &Private::reconnectCallback, this);
    }

    static void reconnectCallback(AvahiTimeout *, void *userdata)
    {
        auto *self = static_cast<Private *>(userdata);
        self->avahiTimerDisarm();
        if (!self->client)
            self->connectClient();
    }

    void avahiTimerDisarm()
    {
        avahi_threaded_poll_get(poll)->timeout_update(reconnectTimer, nullptr);
    }

    void publish()
    {
        if (!client || avahi_client_get_state(client) != AVAHI_CLIENT_S_RUNNING)
            return; // published once the daemon is running
        if (!group) {
            group = avahi_entry_group_new(client, &Private::groupCallback, this);
            if (!group)
                return;
        } else {
            avahi_entry_group_reset(group);
        }
        if (!wanted)
            return;
        for (;;) {
            const int result = avahi_entry_group_add_service(
                group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                wanted->name.c_str(), wanted->type.c_str(),
                wanted->domain.empty() ? nullptr : wanted->domain.c_str(), nullptr,
                wanted->port, nullptr);
            if (result == AVAHI_ERR_COLLISION) {
                takeAlternativeName();
                continue;
            }
            if (result < 0)
                return;
            break;
        }
        avahi_entry_group_commit(group);
    }

    void takeAlternativeName()
    {
        char *alternative = avahi_alternative_service_name(wanted->name.c_str());
        wanted->name = alternative;
        avahi_free(alternative);
    }

    static void groupCallback(AvahiEntryGroup *g, AvahiEntryGroupState state, void *userdata)
    {
        auto *self = static_cast<Private *>(userdata);
        self->group = g;
        if (state == AVAHI_ENTRY_GROUP_COLLISION && self->wanted) {
            self->takeAlternativeName();
            self->publish();
        }
    }

    static void clientCallback(AvahiClient *c, AvahiClientState state, void *userdata)
    {
        auto *self = static_cast<Private *>(userdata);
        self->client = c;
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            self->publish();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host name changes; the group is registered again when running.
            if (self->group)
                avahi_entry_group_reset(self->group);
            break;
        case AVAHI_CLIENT_FAILURE:
            // The daemon went away: start over and wait for it to come back.
            self->dropClient();
            self->scheduleReconnect();
            break;
        case AVAHI_CLIENT_CONNECTING:
            break;
        }
    }
};

AvahiServiceAdvertiser::AvahiServiceAdvertiser() : d(std::make_unique<Private>())
{
    d->poll = avahi_threaded_poll_new();
    if (!d->poll)
        return;
    d->connectClient();
    avahi_threaded_poll_start(d->poll);
}

AvahiServiceAdvertiser::~AvahiServiceAdvertiser()
{
    if (!d->poll)
        return;
    avahi_threaded_poll_stop(d->poll);
    d->dropClient();
    avahi_threaded_poll_free(d->poll);
}

void AvahiServiceAdvertiser::advertise(const QString &name, const QString &type,
                                       const QString &domain, quint16 port)
{
    if (!d->poll)
        return;
    QString bareDomain = domain;
    if (bareDomain.endsWith(QLatin1Char('.')))
        bareDomain.chop(1);
    avahi_threaded_poll_lock(d->poll);
    d->wanted = Private::Service{serviceLabel(name), type.toStdString(),
                                 bareDomain.toStdString(), port};
    d->publish();
    avahi_threaded_poll_unlock(d->poll);
}

void AvahiServiceAdvertiser::withdraw()
{
    if (!d->poll)
        return;
    avahi_threaded_poll_lock(d->poll);
    d->wanted.reset();
    if (d->group)
        avahi_entry_group_reset(d->group);
    avahi_threaded_poll_unlock(d->poll);
}
