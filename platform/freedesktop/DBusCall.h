#pragma once

#include "platform/ActionResult.h"

#include <QDBusConnection>
#include <QString>
#include <QVariant>

#include <optional>

// Blocking D-Bus calls that work from any thread: QtDBus runs the connection
// on a thread of its own, so the caller needs no event loop.
namespace DBusCall {

struct Target {
    QString service;
    QString path;
    QString interface;
};

// Calls `method` and waits for the reply. The reply's arguments go to `reply`
// when given; the error's text, or none.
ActionResult call(const QDBusConnection &bus, const Target &target, const QString &method,
                  const QVariantList &arguments = {}, QVariantList *reply = nullptr,
                  int timeoutMs = 5000);

// A property through org.freedesktop.DBus.Properties.
ActionResult property(const QDBusConnection &bus, const Target &target, const QString &name,
                      QVariant *value);
ActionResult setProperty(const QDBusConnection &bus, const Target &target, const QString &name,
                         const QVariant &value);

} // namespace DBusCall
