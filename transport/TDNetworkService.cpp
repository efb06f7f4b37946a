#include "transport/TDNetworkService.h"

#include "protocol/MessageCodec.h"

#include <QMetaObject>

TDNetworkService::TDNetworkService(QObject *parent)
    : QObject(parent)
{
}

// The stream and the connection are children; neither is finished nor
// cancelled on the way out.
TDNetworkService::~TDNetworkService() = default;

TDMessageStream *TDNetworkService::messages()
{
    if (!m_messageContinuation)
        m_messageContinuation = new TDMessageStream(this);
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
}

void TDNetworkService::receiveNext()
{
    if (!m_connection)
        return;
    const QPointer<TDNetworkService> self(this);
    const QPointer<TDConnection> from(m_connection);
    m_connection->receive(
        1, maximumReceiveLength,
        [self, from](QByteArray content, bool isComplete, std::optional<QString> error) {
            if (!self)
                return;
            QMetaObject::invokeMethod(
                self.data(),
                [self, from, content = std::move(content), isComplete, error = std::move(error)] {
                    if (self)
                        self->handleReceive(from.data(), content, isComplete, error);
                },
                Qt::QueuedConnection);
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
    m_receiveBuffer.clear();
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

    if (!isComplete && !error) {
        receiveNext();
        return;
    }
    setIsConnected(false);
    setConnection(nullptr);
}

void TDNetworkService::processBuffer()
{
    while (const std::optional<QByteArrayView> body = m_receiveBuffer.nextFrame()) {
        std::optional<TDMessage> message = decodeMessage(*body);
        if (message && m_messageContinuation)
            m_messageContinuation->yield(std::move(*message));
    }
}
