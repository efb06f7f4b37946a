#include "app/ConnectionNotices.h"

#include "platform/DesktopNotifications.h"
#include "server/MacServerService.h"

ConnectionNotices::ConnectionNotices(MacServerService &server, DesktopNotifications &notifications,
                                     std::function<bool()> enabled, QObject *parent)
    : QObject(parent), m_server(server), m_notifications(notifications), m_enabled(std::move(enabled))
{
    connect(&m_server, &MacServerService::serverStateChanged, this, &ConnectionNotices::onStateChanged);
    connect(&m_server, &TDNetworkService::isConnectedChanged, this,
            &ConnectionNotices::onConnectedChanged);
}

void ConnectionNotices::onStateChanged()
{
    const ServerState now = m_server.serverState();
    if (now == ServerState::paired) {
        m_phonePaired = true;
        tell(QStringLiteral("iPhone paired"), QStringLiteral("The phone can now control this computer."));
    } else if (m_phonePaired && now == ServerState::connected) {
        m_phonePaired = false;
        tell(QStringLiteral("iPhone replaced"),
             QStringLiteral("Another phone took over the connection; it must pair with the PIN."));
    } else if (m_phonePaired) {
        onConnectedChanged();
    }
}

// A connection that ends by its receive chain leaves the state at paired.
void ConnectionNotices::onConnectedChanged()
{
    if (!m_phonePaired || (m_server.isConnected() && m_server.serverState() == ServerState::paired))
        return;
    m_phonePaired = false;
    tell(QStringLiteral("iPhone disconnected"), QStringLiteral("The paired phone's connection was lost."));
}

void ConnectionNotices::tell(const QString &summary, const QString &body)
{
    if (m_enabled())
        m_notifications.show(QStringLiteral("connection"), summary, body, {});
}
