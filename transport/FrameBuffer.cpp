#include "transport/FrameBuffer.h"

#include <cstring>
#include <limits>

namespace {

constexpr unsigned char marker[4] = {0xDE, 0xAD, 0xBE, 0xEF};

bool isMarkerAt(const char *p)
{
    return std::memcmp(p, marker, sizeof marker) == 0;
}

quint32 readBigEndian32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | quint32(u[3]);
}

} // namespace

void FrameBuffer::append(QByteArrayView bytes)
{
    // Moving the unconsumed tail to the front costs at most as much as the
    // bytes already consumed, so compaction stays linear overall.
    const qsizetype remaining = size();
    if (m_start > 0 && m_start >= remaining) {
        if (remaining > 0)
            std::memmove(m_bytes.data(), m_bytes.constData() + m_start, size_t(remaining));
        m_bytes.resize(remaining);
        m_start = 0;
        // Room left behind by one very large frame is given back.
        if (m_bytes.capacity() > (qsizetype(1) << 20) && remaining + bytes.size() < m_bytes.capacity() / 4)
            m_bytes.squeeze();
    }
    m_bytes.append(bytes.data(), bytes.size());
}

std::optional<QByteArrayView> FrameBuffer::nextFrame()
{
    const char *data = m_bytes.constData();
    const qsizetype end = m_bytes.size();

    while (end - m_start >= headerSize) {
        if (!isMarkerAt(data + m_start)) {
            // Stray bytes go one at a time until a marker lines up or fewer
            // than a header's worth remain; jump straight to that position.
            const qsizetype lastCandidate = end - headerSize;
            qsizetype next = m_start + 1;
            while (next <= lastCandidate) {
                const void *hit = std::memchr(data + next, marker[0], size_t(lastCandidate - next + 1));
                if (!hit) {
                    next = lastCandidate + 1;
                    break;
                }
                next = static_cast<const char *>(hit) - data;
                if (isMarkerAt(data + next))
                    break;
                ++next;
            }
            m_start = next;
            continue;
        }

        const quint32 length = readBigEndian32(data + m_start + 4);
        if (length == 0 || length > maximumBodyLength) {
            // Only the marker goes: the length bytes are the next candidate.
            m_start += 4;
            continue;
        }
        if (end - m_start < headerSize + qsizetype(length)) {
            // Room for the whole frame at once, rather than regrowing per receive.
            m_bytes.reserve(m_start + headerSize + qsizetype(length));
            return std::nullopt;
        }

        const QByteArrayView body(data + m_start + headerSize, qsizetype(length));
        m_start += headerSize + qsizetype(length);
        return body;
    }
    return std::nullopt;
}

void FrameBuffer::clear()
{
    m_bytes.clear();
    m_start = 0;
}

bool writeFrameHeader(QByteArray &frame)
{
    if (frame.size() < FrameBuffer::headerSize)
        return false;
    const qsizetype bodyLength = frame.size() - FrameBuffer::headerSize;
    if (quint64(bodyLength) > std::numeric_limits<quint32>::max())
        return false;
    const auto length = quint32(bodyLength);
    char *p = frame.data();
    std::memcpy(p, marker, sizeof marker);
    p[4] = char(length >> 24);
    p[5] = char(length >> 16);
    p[6] = char(length >> 8);
    p[7] = char(length);
    return true;
}

std::optional<QByteArray> makeFrame(QByteArrayView body)
{
    if (quint64(body.size()) > std::numeric_limits<quint32>::max())
        return std::nullopt;
    QByteArray frame;
    frame.reserve(FrameBuffer::headerSize + body.size());
    frame.resize(FrameBuffer::headerSize);
    frame.append(body.data(), body.size());
    writeFrameHeader(frame);
    return frame;
}
