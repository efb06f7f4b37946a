#pragma once

#include <QString>

#include <optional>

// systemd-hostnamed's name for this machine on the system bus: the pretty
// host name, else the static one. None when the service does not answer or
// has neither.
std::optional<QString> hostname1Name();
