// Feeds arbitrary bytes, in pieces, through frame cutting and message
// decoding, and checks the cutter against the literal one-byte-at-a-time rules.
#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct LiteralCutter {
    QByteArray bytes;

    void drainInto(std::vector<QByteArray> &bodies)
    {
        while (bytes.size() >= 8) {
            if (!bytes.startsWith("\xDE\xAD\xBE\xEF")) {
                bytes.remove(0, 1);
                continue;
            }
            const auto *u = reinterpret_cast<const unsigned char *>(bytes.constData());
            const uint32_t length = uint32_t(u[4]) << 24 | uint32_t(u[5]) << 16 | uint32_t(u[6]) << 8 | u[7];
            if (length == 0 || length > FrameBuffer::maximumBodyLength) {
                bytes.remove(0, 4);
                continue;
            }
            if (bytes.size() < 8 + qsizetype(length))
                return;
            bodies.push_back(bytes.mid(8, length));
            bytes.remove(0, 8 + length);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the receive size, so frames arrive split anywhere.
    const size_t chunk = data[0] % 64 + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const size_t length = size - 1;

    FrameBuffer buffer;
    LiteralCutter literal;
    std::vector<QByteArray> cut, expected;
    for (size_t offset = 0; offset < length; offset += chunk) {
        const size_t n = std::min(chunk, length - offset);
        buffer.append(QByteArrayView(bytes + offset, qsizetype(n)));
        literal.bytes.append(bytes + offset, qsizetype(n));
        while (auto body = buffer.nextFrame()) {
            cut.push_back(body->toByteArray());
            decodeMessage(*body);
        }
        literal.drainInto(expected);
        if (buffer.pending() != QByteArrayView(literal.bytes))
            std::abort();
    }
    if (cut != expected)
        std::abort();
    return 0;
}
