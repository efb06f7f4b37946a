// Feeds arbitrary bytes, in pieces, through frame cutting and message
// decoding, and checks the cutter against the literal one-byte-at-a-time rules.
#include "protocol/MessageCodec.h"
#include "tests/transport/LiteralCutter.h"
#include "transport/FrameBuffer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the receive size, so frames arrive split anywhere.
    const size_t chunk = data[0] % 64 + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    FrameBuffer buffer;
    LiteralCutter literal;
    QList<QByteArray> cut, expected;
    for (size_t offset = 0; offset < size - 1; offset += chunk) {
        const qsizetype n = qsizetype(std::min(chunk, size - 1 - offset));
        buffer.append(QByteArrayView(bytes + offset, n));
        literal.bytes.append(bytes + offset, n);
        while (auto body = buffer.nextFrame()) {
            cut.append(body->toByteArray());
            decodeMessage(*body);
        }
        expected += literal.drain();
        if (buffer.pending() != QByteArrayView(literal.bytes))
            std::abort();
    }
    if (cut != expected)
        std::abort();
    return 0;
}
