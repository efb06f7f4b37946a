#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The receive buffer: cuts frames (DE AD BE EF, big-endian length, body) out
// of a byte stream. Consuming moves a start offset, so the bytes behind a frame
// are not copied; stray bytes are skipped in linear time.
class FrameBuffer {
public:
    static constexpr qsizetype headerSize = 8;
    static constexpr quint32 maximumBodyLength = 9'999'999;

    void append(QByteArrayView bytes);
    // The body of the next complete frame, consumed from the buffer; none when
    // more bytes are needed. The view stays valid until the next call of any
    // of append, nextFrame or clear.
    std::optional<QByteArrayView> nextFrame();

    // Bytes not consumed yet.
    qsizetype size() const { return m_bytes.size() - m_start; }
    QByteArrayView pending() const { return QByteArrayView(m_bytes).sliced(m_start); }
    void clear();

private:
    QByteArray m_bytes;
    qsizetype m_start = 0;
};

// Fills the first headerSize bytes of `frame` (reserved by the caller) with the
// marker and the length of what follows them. False, leaving `frame` alone,
// when that length does not fit the 32-bit field.
bool writeFrameHeader(QByteArray &frame);

// Marker, length and body; none when the body cannot be expressed in 32 bits.
std::optional<QByteArray> makeFrame(QByteArrayView body);
