#include "platform/freedesktop/ApplicationBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace ApplicationBus {
namespace {

constexpr int answerTimeoutMs = 3000;

QDBusMessage applicationCall(const QString &desktopId, const QString &interface, const QString &method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(desktopId, objectPath(desktopId), interface, method);
    message.setAutoStartService(false); // asking a running application, never starting one
    return message;
}

} // namespace

QString objectPath(const QString &desktopId)
{
    QString path = u'/' + desktopId;
    path.replace(u'.', u'/').replace(u'-', u'_');
    return path;
}

void activate(const QString &desktopId)
{
    QDBusMessage message = QDBusMessage::createMethodCall(desktopId, objectPath(desktopId),
                                                          QStringLiteral("org.freedesktop.Application"),
                                                          QStringLiteral("Activate"));
    message << QVariantMap();
    QDBusConnection::sessionBus().asyncCall(message, answerTimeoutMs);
}

void quit(const QString &desktopId, std::function<void()> otherwise)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        otherwise();
        return;
    }
    const QDBusMessage list = applicationCall(desktopId, QStringLiteral("org.gtk.Actions"), QStringLiteral("List"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(list, answerTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, desktopId, otherwise = std::move(otherwise)] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> actions = *watcher;
        if (actions.isError() || !actions.value().contains(QStringLiteral("quit"))) {
            otherwise();
            return;
        }
        QDBusMessage activate = applicationCall(desktopId, QStringLiteral("org.freedesktop.Application"),
                                                QStringLiteral("ActivateAction"));
        activate << QStringLiteral("quit") << QVariant::fromValue(QVariantList()) << QVariantMap();
        QDBusConnection::sessionBus().asyncCall(activate, answerTimeoutMs);
    });
}

} // namespace ApplicationBus
