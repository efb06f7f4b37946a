#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

// Asks systemd-hostnamed on the system bus for this machine's name: the
// pretty host name, else the static one. `done` runs later on `context`'s
// thread, with none when the service does not answer in time or has
// neither; it is dropped with `context`. The caller never waits.
void lookUpHostname1Name(QObject *context, std::function<void(std::optional<QString>)> done);
