#include "protocol/UuidText.h"

namespace td::wire {
namespace {

constexpr size_t kTextLength = 36;

constexpr bool isDashPosition(size_t i)
{
    return i == 8 || i == 13 || i == 18 || i == 23;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void appendUuid(QByteArray &out, const QUuid &id)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = id.toRfc4122();
    char text[kTextLength];
    size_t pos = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (isDashPosition(pos))
            text[pos++] = '-';
        const auto byte = uint8_t(bytes[i]);
        text[pos++] = kHex[byte >> 4];
        text[pos++] = kHex[byte & 15];
    }
    out.append(text, qsizetype(kTextLength));
}

std::optional<QUuid> parseUuid(std::string_view text)
{
    if (text.size() != kTextLength)
        return std::nullopt;
    char bytes[16];
    size_t byte = 0;
    for (size_t i = 0; i < kTextLength;) {
        if (isDashPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = hexValue(text[i]), low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[byte++] = char(high << 4 | low);
        i += 2;
    }
    return QUuid::fromRfc4122(QByteArrayView(bytes, sizeof bytes));
}

} // namespace td::wire
