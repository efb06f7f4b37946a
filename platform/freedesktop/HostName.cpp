#include "platform/freedesktop/HostName.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMetaObject>
#include <QVariantMap>

namespace {
constexpr int answerTimeoutMs = 5000;
}

void lookUpHostname1Name(QObject *context, std::function<void(std::optional<QString>)> done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(context, [done = std::move(done)] { done(std::nullopt); },
                                  Qt::QueuedConnection);
        return;
    }
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.hostname1"), QStringLiteral("/org/freedesktop/hostname1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    getAll << QStringLiteral("org.freedesktop.hostname1");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(getAll, answerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         const QDBusPendingReply<QVariantMap> reply = *watcher;
                         if (reply.isError()) {
                             done(std::nullopt);
                             return;
                         }
                         const QVariantMap properties = reply.value();
                         for (const char *key : {"PrettyHostname", "StaticHostname"})
                             if (QString name = properties.value(QLatin1String(key)).toString().trimmed();
                                 !name.isEmpty()) {
                                 done(name);
                                 return;
                             }
                         done(std::nullopt);
                     });
}
