#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <string_view>

namespace td::wire {

// Appends the standard base64 form (RFC 4648 alphabet, "=" padding, no line
// breaks) of `bytes` to `out`.
void appendBase64(QByteArray &out, QByteArrayView bytes);

// Decodes standard padded base64. Anything else (wrong length, characters
// outside the alphabet, whitespace, misplaced or missing padding) is refused.
std::optional<QByteArray> decodeBase64(std::string_view text);

} // namespace td::wire
