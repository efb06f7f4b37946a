#include "platform/freedesktop/NotificationSender.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

NotificationSender::NotificationSender(QDBusConnection bus, QObject *parent)
    : QObject(parent), m_bus(std::move(bus))
{
}

void NotificationSender::notify(const QString &summary, const QString &body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("com.larkspire.Tendril")},
        {QStringLiteral("category"), QStringLiteral("device")},
    };
    call << QStringLiteral("Tendril") << m_lastId << QStringLiteral("com.larkspire.Tendril")
         << summary << body << QStringList() << hints << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        const uint id = reply.isValid() ? reply.value() : 0;
        if (id != 0)
            m_lastId = id;
        w->deleteLater();
        emit delivered(id);
    });
}
