// Feeds arbitrary bytes, in pieces, through frame cutting and message
// decoding, and checks the cutter against the literal one-byte-at-a-time rules.
// Every body either fails with a reason or gives a message that survives
// another trip.
#include "protocol/MessageCodec.h"
#include "transport/FrameBuffer.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The frame-cutting rules done the slow, literal way: drop one byte per
// position without a marker, four on a bad length, stop below a header's worth.
struct LiteralCutter {
    QByteArray bytes;

    QList<QByteArray> drain()
    {
        QList<QByteArray> bodies;
        while (bytes.size() >= 8) {
            if (!bytes.startsWith("\xDE\xAD\xBE\xEF")) {
                bytes.remove(0, 1);
                continue;
            }
            const auto *u = reinterpret_cast<const unsigned char *>(bytes.constData());
            const quint32 length = quint32(u[4]) << 24 | quint32(u[5]) << 16 | quint32(u[6]) << 8 | u[7];
            if (length == 0 || length > 9'999'999) {
                bytes.remove(0, 4);
                continue;
            }
            if (bytes.size() < 8 + qsizetype(length))
                break;
            bodies.append(bytes.mid(8, length));
            bytes.remove(0, 8 + length);
        }
        return bodies;
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
    FrameBuffer buffer;
    LiteralCutter literal;
    QList<QByteArray> cut, expected;
    for (size_t offset = 0; offset < size - 1; offset += chunk) {
        const qsizetype n = qsizetype(std::min(chunk, size - 1 - offset));
        buffer.append(QByteArrayView(bytes + offset, n));
        literal.bytes.append(bytes + offset, n);
        while (auto body = buffer.nextFrame()) {
            cut.append(body->toByteArray());
            DecodingError error;
            if (const auto message = decodeMessage(*body, &error)) {
                const auto again = encodeMessage(*message);
                if (!again || !decodeMessage(*again))
                    std::abort();
            } else if (error.description.isEmpty()) {
                std::abort();
            }
        }
        expected += literal.drain();
        if (buffer.pending() != QByteArrayView(literal.bytes))
            std::abort();
    }
    if (cut != expected)
        std::abort();
    return 0;
}
