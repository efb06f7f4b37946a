#include "server/ConnectionGate.h"

#include "platform/DesktopNotifications.h"
#include "server/AppSettings.h"
#include "transport/PeerAddress.h"
#include "transport/TDConnection.h"

#include <QTimer>

#include <algorithm>

namespace {
const QString kAllow = QStringLiteral("allow");
const QString kDeny = QStringLiteral("deny");
} // namespace

ConnectionGate::ConnectionGate(ActionLog log, QObject *parent)
    : QObject(parent), m_log(std::move(log))
{
}

// Held connections are children and close with the gate.
ConnectionGate::~ConnectionGate() = default;

void ConnectionGate::setNotifications(DesktopNotifications *notifications)
{
    if (m_notifications)
        disconnect(m_notifications, nullptr, this, nullptr);
    m_notifications = notifications;
    if (!notifications)
        return;
    connect(notifications, &DesktopNotifications::actionInvoked, this,
            [this](const QString &address, const QString &action) {
                if (action == kAllow)
                    allow(address);
                else if (action == kDeny)
                    deny(address);
            });
}

void ConnectionGate::admit(TDConnection *connection)
{
    const QString address = peerAddressText(connection->peerAddress());
    if (!m_settings || !m_settings->requireApproval() || m_settings->isApproved(address)) {
        emit admitted(connection);
        return;
    }
    hold(connection, address);
}

void ConnectionGate::hold(TDConnection *connection, const QString &address)
{
    const auto same = std::find_if(m_held.begin(), m_held.end(),
                                   [&](const Held &held) { return held.address == address; });
    if (same != m_held.end()) {
        close(address, QStringLiteral("[Server] Phone at %1 connected again while waiting; "
                                      "its earlier connection is closed").arg(address));
    } else if (int(m_held.size()) >= maximumHeld) {
        close(m_held.front().address,
              QStringLiteral("[Server] Too many phones waiting for approval; the one at %1 "
                             "is closed").arg(m_held.front().address));
    }

    connection->setParent(this);
    connection->setReadAheadLimit(heldBytesLimit);
    const auto left = [this, address] {
        close(address, QStringLiteral("[Server] Phone at %1 left before it was approved")
                           .arg(address));
    };
    connect(connection, &TDConnection::disconnected, this, left);
    connect(connection, &TDConnection::stateChanged, this, [left](TDConnection::State state) {
        if (state == TDConnection::State::failed)
            left();
    });
    QTimer::singleShot(m_answerTimeoutMs, connection, [this, connection] { expire(connection); });
    m_held.push_back({address, connection});
    m_log.info(QStringLiteral("[Server] Phone at %1 is waiting for approval").arg(address));
    if (m_notifications)
        m_notifications->show(address, QStringLiteral("Allow phone at %1?").arg(address),
                              QStringLiteral("A phone wants to control this computer. "
                                             "Allow it only if it is yours."),
                              {{kAllow, QStringLiteral("Allow")}, {kDeny, QStringLiteral("Deny")}});
    emit pendingPhonesChanged();
}

QStringList ConnectionGate::pendingPhones() const
{
    QStringList addresses;
    for (const Held &held : m_held)
        addresses.append(held.address);
    return addresses;
}

TDConnection *ConnectionGate::release(QString address)
{
    const auto found = std::find_if(m_held.begin(), m_held.end(),
                                    [&](const Held &held) { return held.address == address; });
    if (found == m_held.end())
        return nullptr;
    TDConnection *connection = found->connection;
    m_held.erase(found);
    if (m_notifications)
        m_notifications->withdraw(address);
    emit pendingPhonesChanged();
    if (connection)
        disconnect(connection, nullptr, this, nullptr);
    return connection;
}

void ConnectionGate::allow(const QString &address)
{
    TDConnection *connection = release(address);
    if (!connection)
        return;
    m_log.info(QStringLiteral("[Server] Phone at %1 allowed").arg(address));
    if (m_settings)
        m_settings->approve(address);
    connection->setReadAheadLimit(TDConnection::readBufferBytes);
    emit admitted(connection);
}

void ConnectionGate::deny(const QString &address)
{
    close(address, QStringLiteral("[Server] Phone at %1 denied").arg(address));
}

void ConnectionGate::close(QString address, const QString &logLine)
{
    TDConnection *connection = release(address);
    if (!connection)
        return;
    m_log.write(logLine);
    connection->cancel();
    connection->deleteLater();
}

void ConnectionGate::expire(TDConnection *connection)
{
    const auto found = std::find_if(m_held.begin(), m_held.end(),
                                    [&](const Held &held) { return held.connection == connection; });
    if (found == m_held.end())
        return;
    close(found->address, QStringLiteral("[Server] Phone at %1 was not approved within %2 s; "
                                         "connection closed")
                              .arg(found->address).arg(answerTimeoutMs / 1000));
}
