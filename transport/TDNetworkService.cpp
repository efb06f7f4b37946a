#include "transport/TDNetworkService.h"

#include "protocol/MessageCodec.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QScopedValueRollback>

namespace {
Q_LOGGING_CATEGORY(lcConnection, "tendril.connection", QtInfoMsg)
} // namespace

TDNetworkService::TDNetworkService(QObject *parent)
    : QObject(parent)
{
    connect(&m_backPressure, &BackPressure::eased, this, &TDNetworkService::resumeReceiving);
    connect(&m_backPressure, &BackPressure::stalled, this, &TDNetworkService::disconnectStalledPhone);
}

// The stream and the connection are children; neither is finished nor
// cancelled on the way out.
TDNetworkService::~TDNetworkService() = default;

TDMessageStream *TDNetworkService::messages()
{
    if (!m_messageContinuation) {
        m_messageContinuation = new TDMessageStream(this);
        m_backPressure.watchStream(m_messageContinuation);
    }
    return m_messageContinuation;
}

void TDNetworkService::send(const TDMessage &message)
{
    if (!m_connection)
        return;
    // The body is encoded straight behind room for the header.
    QByteArray frame(FrameBuffer::headerSize, Qt::Uninitialized);
    if (!appendEncodedMessage(frame, message))
        return;
    // The phone drops a longer body as corrupt; it is not sent at all.
    if (frame.size() - FrameBuffer::headerSize > FrameBuffer::maximumBodyLength)
        return;
    if (!writeFrameHeader(frame))
        return;
    m_connection->send(frame);
    m_backPressure.noteSent();
}

qint64 TDNetworkService::bufferedBytes() const
{
    qint64 bytes = m_receiveBuffer.size();
    if (m_messageContinuation)
        bytes += m_messageContinuation->pendingWeight();
    if (m_connection)
        bytes += m_connection->bytesAvailable() + m_connection->bytesToWrite();
    return bytes;
}

void TDNetworkService::receiveNext()
{
    if (!m_connection)
        return;
    const QPointer<TDNetworkService> self(this);
    const QPointer<TDConnection> from(m_connection);
    // Received bytes are cut and dispatched right where they arrive.
    m_connection->receive(
        1, maximumReceiveLength,
        [self, from](QByteArray content, bool isComplete, std::optional<QString> error) {
            if (self)
                self->handleReceive(from.data(), content, isComplete, error);
        });
}

void TDNetworkService::setIsConnected(bool connected)
{
    if (m_isConnected == connected)
        return;
    m_isConnected = connected;
    emit isConnectedChanged();
}

void TDNetworkService::setConnection(TDConnection *connection)
{
    if (connection == m_connection)
        return;
    if (TDConnection *previous = m_connection) {
        QObject::disconnect(previous, nullptr, this, nullptr);
        previous->deleteLater();
    }
    m_connection = connection;
    if (connection)
        connection->setParent(this);
    m_backPressure.watchConnection(connection);
    m_receiveBuffer.clear();
    m_receiveHeld = m_endHeld = false;
}

void TDNetworkService::handleReceive(TDConnection *from, const QByteArray &content, bool isComplete,
                                     const std::optional<QString> &error)
{
    // A replaced or forgotten connection has nothing more to say here.
    if (!from || from != m_connection)
        return;

    if (!content.isEmpty())
        m_receiveBuffer.append(content);
    processBuffer();

    // While backed up the socket is left alone; TCP holds the phone back.
    if (m_backPressure.isBackedUp()) {
        (isComplete || error ? m_endHeld : m_receiveHeld) = true;
        return;
    }
    if (!isComplete && !error) {
        receiveNext();
        return;
    }
    endReceiving();
}

void TDNetworkService::endReceiving()
{
    setIsConnected(false);
    setConnection(nullptr);
}

void TDNetworkService::resumeReceiving()
{
    // A message handed on while frames are cut eases the stream; the cutting
    // loop itself goes on, and the chain is taken up after it.
    if (m_cutting || (!m_receiveHeld && !m_endHeld))
        return;
    processBuffer();
    if (m_backPressure.isBackedUp())
        return;
    if (std::exchange(m_endHeld, false)) {
        endReceiving();
        return;
    }
    m_receiveHeld = false;
    receiveNext();
}

void TDNetworkService::disconnectStalledPhone(qint64 bytesWaiting)
{
    if (!m_connection)
        return;
    qCWarning(lcConnection).noquote() << QStringLiteral("[Connection] Disconnected a phone that read nothing for %1 s "
                                                        "while %2 bytes waited to be sent")
                                             .arg(m_backPressure.stalledWriteLimit() / 1000.0)
                                             .arg(bytesWaiting);
    m_connection->cancel();
    // The held receive is armed again so that the chain ends as for any
    // failed connection.
    if (std::exchange(m_receiveHeld, false))
        receiveNext();
}

void TDNetworkService::processBuffer()
{
    // Each message is handled within yield, and a handler may cancel or
    // replace this connection: what it sent after that is not acted on.
    if (m_cutting)
        return;
    const QScopedValueRollback cutting(m_cutting, true);
    const QPointer<TDConnection> from = m_connection;
    // Frames beyond the bounds stay uncut in the buffer until the
    // consumer or the phone catches up.
    while (!m_backPressure.isBackedUp() && m_connection == from
           && !(from && from->state() == TDConnection::State::cancelled)) {
        const std::optional<QByteArrayView> body = m_receiveBuffer.nextFrame();
        if (!body)
            break;
        const qsizetype weight = FrameBuffer::headerSize + body->size();
        std::optional<TDMessage> message = decodeMessage(*body);
        if (message && m_messageContinuation)
            m_messageContinuation->yield(std::move(*message), weight);
    }
}
