#include "platform/freedesktop/FreedesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage call(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}
} // namespace

bool FreedesktopNotifications::listen()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!m_listening) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(onNotificationClosed(uint, uint)));
        m_listening = true;
    }
    return true;
}

void FreedesktopNotifications::show(const QString &key, const QString &summary,
                                    const QString &body, const QList<Action> &actions)
{
    if (!listen())
        return;
    Shown &shown = m_shown[key];
    shown.request = ++m_lastRequest;

    QStringList actionList;
    for (const Action &action : actions)
        actionList << action.key << action.label;
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("tendril")},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(2))},
    };
    QDBusMessage notify = call(QStringLiteral("Notify"));
    // Never expires by itself: it is withdrawn when the question is settled.
    notify << QStringLiteral("Tendril") << shown.id << QString() << summary << body << actionList
           << hints << 0;

    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key, request = shown.request](QDBusPendingCallWatcher *watcher) {
                watcher->deleteLater();
                const QDBusPendingReply<uint> reply = *watcher;
                if (reply.isError())
                    return;
                // Withdrawn or shown anew while the service was answering.
                const auto shown = m_shown.find(key);
                if (shown == m_shown.end() || shown->request != request) {
                    close(reply.value());
                    return;
                }
                shown->id = reply.value();
            });
}

void FreedesktopNotifications::withdraw(const QString &key)
{
    const Shown shown = m_shown.take(key);
    if (shown.id != 0)
        close(shown.id);
}

void FreedesktopNotifications::close(uint id)
{
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << id;
    QDBusConnection::sessionBus().asyncCall(message);
}

QString FreedesktopNotifications::keyOf(uint id) const
{
    for (auto it = m_shown.begin(); it != m_shown.end(); ++it)
        if (it->id == id)
            return it.key();
    return {};
}

void FreedesktopNotifications::onActionInvoked(uint id, const QString &action)
{
    const QString key = keyOf(id);
    if (!key.isEmpty())
        emit actionInvoked(key, action);
}

void FreedesktopNotifications::onNotificationClosed(uint id, uint)
{
    const QString key = keyOf(id);
    if (!key.isEmpty())
        m_shown.remove(key);
}
