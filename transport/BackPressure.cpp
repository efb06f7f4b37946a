#include "transport/BackPressure.h"

#include "transport/TDConnection.h"
#include "transport/TDMessageStream.h"

BackPressure::BackPressure(QObject *parent)
    : QObject(parent)
{
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(stalledWriteLimitMs);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        if (isOverWriteMark())
            emit stalled(m_connection->bytesToWrite());
    });
}

void BackPressure::watchConnection(TDConnection *connection)
{
    if (m_connection)
        disconnect(m_connection, nullptr, this, nullptr);
    m_stallTimer.stop();
    m_connection = connection;
    if (connection) {
        connect(connection, &TDConnection::bytesWritten, this, &BackPressure::bytesWentOut);
        // A failed connection drops what it had to write.
        connect(connection, &TDConnection::stateChanged, this, &BackPressure::eased);
    }
}

void BackPressure::watchStream(TDMessageStream *stream)
{
    if (m_stream)
        disconnect(m_stream, nullptr, this, nullptr);
    m_stream = stream;
    if (stream)
        connect(stream, &TDMessageStream::taken, this, &BackPressure::eased);
}

bool BackPressure::isOverWriteMark() const
{
    return m_connection && m_connection->bytesToWrite() >= writeHighWaterMark;
}

bool BackPressure::isBackedUp() const
{
    if (m_stream && (m_stream->pendingCount() >= maximumPendingMessages
                     || m_stream->pendingWeight() >= maximumPendingBytes))
        return true;
    return isOverWriteMark();
}

void BackPressure::noteSent()
{
    if (isOverWriteMark() && !m_stallTimer.isActive())
        m_stallTimer.start();
}

void BackPressure::bytesWentOut()
{
    // The phone is reading: the clock starts again, or stops below the mark.
    if (isOverWriteMark())
        m_stallTimer.start();
    else
        m_stallTimer.stop();
    emit eased();
}
