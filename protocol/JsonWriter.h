#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <cstdint>

namespace td::wire {

// Makes room for `extra` more bytes, growing geometrically so that many small
// appends after a large one do not copy the buffer again and again.
void reserveExtra(QByteArray &out, qsizetype extra);

// Appends `utf8` as a JSON string: quotes, and escapes for '"', '\\' and the
// control characters; everything else (including non-ASCII) as is.
void appendJsonString(QByteArray &out, QByteArrayView utf8);
void appendJsonString(QByteArray &out, QStringView text);

// How many leading bytes of `utf8` appendJsonString can write in at most
// `maxBytes`, quotes not counted. The cut may fall inside a character.
qsizetype jsonStringPrefixFitting(QByteArrayView utf8, qsizetype maxBytes);

// The shortest text that reads back as the same single-precision value.
// The value must be finite.
void appendJsonFloat(QByteArray &out, float value);

void appendJsonInteger(QByteArray &out, int64_t value);

} // namespace td::wire
