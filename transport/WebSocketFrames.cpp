#include "transport/WebSocketFrames.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>

WebSocketFrames::WebSocketFrames(std::unique_ptr<QWebSocket> socket, QObject *parent)
    : QIODevice(parent), m_socket(std::move(socket))
{
    m_socket->setMaxAllowedIncomingMessageSize(FrameBuffer::maximumBodyLength);
    m_socket->setMaxAllowedIncomingFrameSize(FrameBuffer::maximumBodyLength);
    open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    connect(m_socket.get(), &QWebSocket::textMessageReceived, this, &WebSocketFrames::takeMessage);
    connect(m_socket.get(), &QWebSocket::bytesWritten, this, &WebSocketFrames::noteWritten);
    connect(m_socket.get(), &QWebSocket::disconnected, this, [this] {
        emit readChannelFinished();
        emit disconnected();
    });
}

WebSocketFrames::~WebSocketFrames()
{
    m_socket->disconnect(this);
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    // A closing socket finishes its close frame on its own, within bounds.
    closeLink(QString());
    // Owned by the application meanwhile, so that none outlives it.
    QWebSocket *closing = m_socket.release();
    closing->setParent(QCoreApplication::instance());
    connect(closing, &QWebSocket::disconnected, closing, &QObject::deleteLater);
    QTimer::singleShot(closingGraceMs, closing, &QObject::deleteLater);
}

qint64 WebSocketFrames::bytesAvailable() const
{
    return m_in.size() - m_inStart;
}

qint64 WebSocketFrames::bytesToWrite() const
{
    return m_unsent + m_out.size();
}

QHostAddress WebSocketFrames::peerAddress() const
{
    return m_socket->peerAddress();
}

bool WebSocketFrames::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void WebSocketFrames::closeLink(const QString &reason)
{
    m_socket->close(QWebSocketProtocol::CloseCodeNormal, reason);
}

void WebSocketFrames::takeMessage(const QString &message)
{
    const std::optional<QByteArray> frame = makeFrame(message.toUtf8());
    if (!frame)
        return;
    if (bytesAvailable() + frame->size()
        > m_readAheadLimit + FrameBuffer::headerSize + FrameBuffer::maximumBodyLength) {
        // Sent faster than it is read, far beyond what a remote needs.
        m_socket->close(QWebSocketProtocol::CloseCodeTooMuchData);
        return;
    }
    if (m_inStart == m_in.size()) {
        m_in.clear();
        m_inStart = 0;
    }
    m_in.append(*frame);
    emit readyRead();
}

qint64 WebSocketFrames::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min(maxSize, bytesAvailable());
    std::copy_n(m_in.constData() + m_inStart, n, data);
    m_inStart += n;
    if (m_inStart == m_in.size()) {
        m_in.clear();
        m_inStart = 0;
    }
    return n;
}

qint64 WebSocketFrames::writeData(const char *data, qint64 size)
{
    m_out.append(QByteArrayView(data, size));
    while (const std::optional<QByteArrayView> body = m_out.nextFrame()) {
        m_unsent += body->size();
        m_socket->sendTextMessage(QString::fromUtf8(*body));
    }
    return size;
}

// The socket counts its own framing too; what is left unsent is an estimate.
void WebSocketFrames::noteWritten(qint64 bytes)
{
    m_unsent = std::max<qint64>(0, m_unsent - bytes);
    emit bytesWritten(bytes);
}
