#include "platform/freedesktop/DBusCall.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace DBusCall {
namespace {
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
} // namespace

ActionResult call(const QDBusConnection &bus, const Target &target, const QString &method,
                  const QVariantList &arguments, QVariantList *reply, int timeoutMs)
{
    if (!bus.isConnected())
        return QStringLiteral("no D-Bus connection (%1)").arg(bus.lastError().message());
    QDBusMessage message = QDBusMessage::createMethodCall(target.service, target.path, target.interface, method);
    message.setArguments(arguments);
    const QDBusMessage answer = bus.call(message, QDBus::Block, timeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("%1.%2: %3").arg(target.interface, method, answer.errorMessage());
    if (reply)
        *reply = answer.arguments();
    return std::nullopt;
}

ActionResult property(const QDBusConnection &bus, const Target &target, const QString &name,
                      QVariant *value)
{
    QVariantList reply;
    const Target properties{target.service, target.path, propertiesInterface};
    if (auto error = call(bus, properties, QStringLiteral("Get"), {target.interface, name}, &reply))
        return error;
    *value = reply.value(0).value<QDBusVariant>().variant();
    return std::nullopt;
}

ActionResult setProperty(const QDBusConnection &bus, const Target &target, const QString &name,
                         const QVariant &value)
{
    const Target properties{target.service, target.path, propertiesInterface};
    return call(bus, properties, QStringLiteral("Set"),
                {target.interface, name, QVariant::fromValue(QDBusVariant(value))});
}

} // namespace DBusCall
