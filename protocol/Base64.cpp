#include "protocol/Base64.h"

#include <array>
#include <cstdint>

namespace td::wire {
namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr uint8_t kInvalid = 0xFF;

constexpr std::array<uint8_t, 256> makeDecodeTable()
{
    std::array<uint8_t, 256> table{};
    table.fill(kInvalid);
    for (uint8_t i = 0; i < 64; ++i)
        table[uint8_t(kAlphabet[i])] = i;
    return table;
}
constexpr std::array<uint8_t, 256> kDecode = makeDecodeTable();

} // namespace

void appendBase64(QByteArray &out, QByteArrayView bytes)
{
    const qsizetype start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    char *dst = out.data() + start;
    const auto *src = reinterpret_cast<const uint8_t *>(bytes.data());
    qsizetype left = bytes.size();
    for (; left >= 3; left -= 3, src += 3) {
        const uint32_t v = uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2];
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 63];
        *dst++ = kAlphabet[(v >> 6) & 63];
        *dst++ = kAlphabet[v & 63];
    }
    if (left > 0) {
        const uint32_t v = uint32_t(src[0]) << 16 | (left == 2 ? uint32_t(src[1]) << 8 : 0);
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 63];
        *dst++ = left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        *dst++ = '=';
    }
}

std::optional<QByteArray> decodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;

    QByteArray out(qsizetype(text.size() / 4 * 3 - padding), Qt::Uninitialized);
    auto *dst = reinterpret_cast<uint8_t *>(out.data());
    const auto *src = reinterpret_cast<const uint8_t *>(text.data());
    const size_t fullQuads = text.size() / 4 - (padding ? 1 : 0);
    for (size_t q = 0; q < fullQuads; ++q, src += 4) {
        const uint8_t a = kDecode[src[0]], b = kDecode[src[1]];
        const uint8_t c = kDecode[src[2]], d = kDecode[src[3]];
        if ((a | b | c | d) & 0xC0) // kInvalid has these bits set
            return std::nullopt;
        const uint32_t v = uint32_t(a) << 18 | uint32_t(b) << 12 | uint32_t(c) << 6 | d;
        *dst++ = uint8_t(v >> 16);
        *dst++ = uint8_t(v >> 8);
        *dst++ = uint8_t(v);
    }
    if (padding) {
        // The last quad: two or three alphabet characters, then the padding.
        const uint8_t a = kDecode[src[0]], b = kDecode[src[1]];
        const uint8_t c = padding == 1 ? kDecode[src[2]] : 0;
        if ((a | b | c) & 0xC0)
            return std::nullopt;
        const uint32_t v = uint32_t(a) << 18 | uint32_t(b) << 12 | uint32_t(c) << 6;
        *dst++ = uint8_t(v >> 16);
        if (padding == 1)
            *dst++ = uint8_t(v >> 8);
    }
    return out;
}

} // namespace td::wire
