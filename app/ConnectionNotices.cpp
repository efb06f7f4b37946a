#include "app/ConnectionNotices.h"

#include "platform/freedesktop/NotificationSender.h"
#include "server/MacServerService.h"

ConnectionNotices::ConnectionNotices(MacServerService &server, NotificationSender &sender,
                                     std::function<bool()> enabled, QObject *parent)
    : QObject(parent), m_server(server), m_sender(sender), m_enabled(std::move(enabled)),
      m_previous(server.serverState())
{
    connect(&m_server, &MacServerService::serverStateChanged, this, &ConnectionNotices::onStateChanged);
}

void ConnectionNotices::onStateChanged()
{
    const ServerState previous = std::exchange(m_previous, m_server.serverState());
    const ServerState now = m_previous;
    QString summary;
    QString body;
    if (now == ServerState::paired) {
        summary = QStringLiteral("iPhone paired");
        body = QStringLiteral("The phone can now control this computer.");
    } else if (previous == ServerState::paired && now == ServerState::connected) {
        summary = QStringLiteral("iPhone replaced");
        body = QStringLiteral("Another phone took over the connection; it must pair with the PIN.");
    } else if (previous == ServerState::paired) {
        summary = QStringLiteral("iPhone disconnected");
        body = QStringLiteral("The paired phone's connection was lost.");
    } else {
        return;
    }
    if (m_enabled())
        m_sender.notify(summary, body);
}
