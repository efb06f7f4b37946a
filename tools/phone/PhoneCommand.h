#pragma once

#include "protocol/TDMessage.h"

#include <QStringList>

#include <optional>

// Builds the message that `tendril-phone COMMAND ARGS…` sends: the kind's
// JSON key followed by its payload fields in order. On failure `error` says
// what is wrong.
std::optional<TDMessage> parsePhoneCommand(const QStringList &words, QString *error);

// One line per kind: the usage part of --help.
QString phoneCommandUsage();
