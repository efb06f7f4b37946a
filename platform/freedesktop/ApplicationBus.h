#pragma once

#include <QString>

#include <functional>

// org.freedesktop.Application on the session bus, for entries with
// DBusActivatable=true. Nothing waits for an answer; main thread only.
namespace ApplicationBus {

// The object path of a D-Bus-activatable application: its ID with "." as "/"
// and "-" as "_".
QString objectPath(const QString &desktopId);
// Brings the application forward (or starts it).
void activate(const QString &desktopId);
// Activates the application's "quit" action when it exports one, which lets
// it ask the user about unsaved work; otherwise, or when it does not answer,
// runs `otherwise`.
void quit(const QString &desktopId, std::function<void()> otherwise);

} // namespace ApplicationBus
