#include "protocol/JsonWriter.h"

#include <QtGlobal>

#include <charconv>
#include <cmath>
#include <cstring>

namespace td::wire {
namespace {

constexpr uint64_t kOnes = ~uint64_t(0) / 255;   // 0x0101…01
constexpr uint64_t kHighs = kOnes * 0x80;        // 0x8080…80

constexpr uint64_t zeroBytes(uint64_t v)
{
    return (v - kOnes) & ~v & kHighs;
}

// Non-zero when any of the eight bytes is a control character, '"' or '\\'.
// The test is exact about presence, not about which byte it was.
constexpr uint64_t needsEscape(uint64_t v)
{
    const uint64_t control = (v - kOnes * 0x20) & ~v & kHighs;
    return control | zeroBytes(v ^ (kOnes * '"')) | zeroBytes(v ^ (kOnes * '\\'));
}

bool needsEscape(char c)
{
    return uchar(c) < 0x20 || c == '"' || c == '\\';
}

// Length of the leading run of `data` that can be copied unchanged.
size_t plainPrefix(const char *data, size_t size)
{
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        if (needsEscape(word))
            break;
    }
    while (i < size && !needsEscape(data[i]))
        ++i;
    return i;
}

// What appendEscape writes for `c`: a short escape or \u00XX.
qsizetype escapedLength(char c)
{
    switch (c) {
    case '"': case '\\': case '\b': case '\f': case '\n': case '\r': case '\t': return 2;
    default: return 6;
    }
}

void appendEscape(QByteArray &out, char c)
{
    switch (c) {
    case '"': out.append("\\\"", 2); return;
    case '\\': out.append("\\\\", 2); return;
    case '\b': out.append("\\b", 2); return;
    case '\f': out.append("\\f", 2); return;
    case '\n': out.append("\\n", 2); return;
    case '\r': out.append("\\r", 2); return;
    case '\t': out.append("\\t", 2); return;
    default: {
        static constexpr char kHex[] = "0123456789abcdef";
        const char escape[6] = {'\\', 'u', '0', '0', kHex[uchar(c) >> 4], kHex[uchar(c) & 15]};
        out.append(escape, 6);
    }
    }
}

} // namespace

void reserveExtra(QByteArray &out, qsizetype extra)
{
    const qsizetype needed = out.size() + extra;
    if (needed > out.capacity())
        out.reserve(qMax(needed + 64, out.capacity() + out.capacity() / 2));
}

void appendJsonString(QByteArray &out, QByteArrayView utf8)
{
    reserveExtra(out, utf8.size() + 2);
    out.append('"');
    const char *data = utf8.data();
    size_t left = size_t(utf8.size());
    while (left > 0) {
        const size_t plain = plainPrefix(data, left);
        out.append(data, qsizetype(plain));
        if (plain == left)
            break;
        reserveExtra(out, qsizetype(left - plain) + 6);
        appendEscape(out, data[plain]);
        data += plain + 1;
        left -= plain + 1;
    }
    out.append('"');
}

void appendJsonString(QByteArray &out, QStringView text)
{
    appendJsonString(out, QByteArrayView(text.toUtf8()));
}

qsizetype jsonStringPrefixFitting(QByteArrayView utf8, qsizetype maxBytes)
{
    const char *data = utf8.data();
    qsizetype taken = 0;
    qsizetype room = maxBytes;
    while (taken < utf8.size()) {
        const qsizetype plain = qsizetype(plainPrefix(data + taken, size_t(utf8.size() - taken)));
        if (plain >= room)
            return taken + room;
        taken += plain;
        room -= plain;
        if (taken == utf8.size())
            break;
        const qsizetype escape = escapedLength(data[taken]);
        if (escape > room)
            return taken;
        ++taken;
        room -= escape;
    }
    return taken;
}

void appendJsonFloat(QByteArray &out, float value)
{
    Q_ASSERT(std::isfinite(value));
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, qsizetype(result.ptr - text));
}

void appendJsonInteger(QByteArray &out, int64_t value)
{
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, qsizetype(result.ptr - text));
}

} // namespace td::wire
