#pragma once

#include <QByteArray>
#include <QUuid>

#include <optional>
#include <string_view>

namespace td::wire {

// Appends the 36-character 8-4-4-4-12 form in upper case.
void appendUuid(QByteArray &out, const QUuid &id);

// Reads exactly the 36-character 8-4-4-4-12 form, in either case (no braces,
// no surrounding text).
std::optional<QUuid> parseUuid(std::string_view text);

} // namespace td::wire
