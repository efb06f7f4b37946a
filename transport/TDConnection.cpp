#include "transport/TDConnection.h"

#include "transport/WebSocketFrames.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QTcpSocket>

#include <algorithm>

struct TDConnection::Private {
    // The byte stream: the TCP socket, or the WebSocket seen as frames.
    QIODevice *device = nullptr;
    QTcpSocket *socket = nullptr;
    WebSocketFrames *web = nullptr;
    bool outgoing = false;
    QString host;
    quint16 port = 0;

    State state = State::setup;
    std::optional<QString> error;
    bool peerClosed = false;
    QList<QByteArray> queuedSends;

    ReceiveCompletion receiver;
    int minimumLength = 1;
    int maximumLength = 0;
    // Inside deliverReceivedNow: a receive armed meanwhile waits for it.
    bool delivering = false;
};

struct TDConnection::Completion {
    QByteArray content;
    bool isComplete = false;
    std::optional<QString> error;
};

namespace {
const QString cancelledError = QStringLiteral("Operation canceled");
}

TDConnection::TDConnection(QTcpSocket *socket, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->socket = socket;
    socket->setReadBufferSize(readBufferBytes);
    watchDevice(socket);
    connect(socket, &QTcpSocket::disconnected, this, [this] { peerClosed(); });
    connect(socket, &QTcpSocket::disconnected, this, &TDConnection::disconnected);
    connect(socket, &QTcpSocket::connected, this, [this] {
        if (d->state == State::preparing)
            becomeReady();
    });
    // Qt reports the peer's close as an error; here it is the end of the stream.
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError code) {
        if (code == QAbstractSocket::RemoteHostClosedError)
            peerClosed();
        else
            fail(d->socket->errorString());
    });
}

TDConnection::TDConnection(WebSocketFrames *webSocket, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->web = webSocket;
    webSocket->setReadAheadLimit(readBufferBytes);
    watchDevice(webSocket);
    connect(webSocket, &WebSocketFrames::disconnected, this, [this] { peerClosed(); });
    connect(webSocket, &WebSocketFrames::disconnected, this, &TDConnection::disconnected);
}

void TDConnection::watchDevice(QIODevice *device)
{
    d->device = device;
    device->setParent(this);
    connect(device, &QIODevice::bytesWritten, this, &TDConnection::bytesWritten);
    connect(device, &QIODevice::readyRead, this, [this] { deliverReceivedNow(); });
    connect(device, &QIODevice::readChannelFinished, this, [this] { peerClosed(); });
}

TDConnection::TDConnection(const QString &host, quint16 port, QObject *parent)
    : TDConnection(new QTcpSocket, parent)
{
    d->outgoing = true;
    d->host = host;
    d->port = port;
}

TDConnection::~TDConnection()
{
    QObject::disconnect(d->device, nullptr, this, nullptr);
    abortDevice();
    delete d->device;
}

bool TDConnection::isWebSocket() const
{
    return d->web != nullptr;
}

void TDConnection::abortDevice(const QString &reason)
{
    if (d->web)
        d->web->closeLink(reason);
    else
        d->socket->abort();
}

TDConnection::State TDConnection::state() const
{
    return d->state;
}

void TDConnection::start()
{
    if (d->state != State::setup)
        return;
    setState(State::preparing);
    if (d->outgoing) {
        d->socket->connectToHost(d->host, d->port);
        return;
    }
    // An accepted socket is already connected; one the peer has closed in the
    // meantime still delivers what it sent, then the end of the stream.
    if (d->web ? !d->web->isConnected() : d->socket->state() != QAbstractSocket::ConnectedState)
        d->peerClosed = true;
    becomeReady();
}

void TDConnection::cancel(const QString &reason)
{
    if (d->state == State::failed || d->state == State::cancelled)
        return;
    d->error = cancelledError;
    setState(State::cancelled);
    end(reason);
}

QHostAddress TDConnection::peerAddress() const
{
    return d->web ? d->web->peerAddress() : d->socket->peerAddress();
}

void TDConnection::setReadAheadLimit(qint64 bytes)
{
    if (d->web)
        d->web->setReadAheadLimit(bytes);
    else
        d->socket->setReadBufferSize(bytes);
}

void TDConnection::send(const QByteArray &bytes)
{
    switch (d->state) {
    case State::ready:
        d->device->write(bytes);
        break;
    case State::setup:
    case State::preparing:
        d->queuedSends.append(bytes);
        break;
    case State::failed:
    case State::cancelled:
        break;
    }
}

qint64 TDConnection::bytesToWrite() const
{
    qint64 queued = d->device->bytesToWrite();
    for (const QByteArray &bytes : d->queuedSends)
        queued += bytes.size();
    return queued;
}

qint64 TDConnection::bytesAvailable() const
{
    return d->device->bytesAvailable();
}

void TDConnection::receive(int minimumIncompleteLength, int maximumLength, ReceiveCompletion completion)
{
    Q_ASSERT(!d->receiver);
    d->receiver = std::move(completion);
    d->maximumLength = std::max(1, maximumLength);
    d->minimumLength = std::clamp(minimumIncompleteLength, 1, d->maximumLength);
    if (!d->delivering)
        deliverReceive();
}

void TDConnection::setState(State state, const QString &error)
{
    d->state = state;
    QMetaObject::invokeMethod(
        this, [this, state, error] { emit stateChanged(state, error); }, Qt::QueuedConnection);
}

void TDConnection::becomeReady()
{
    // Small request/answer messages: do not hold a frame back for Nagle.
    if (d->socket)
        d->socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    setState(State::ready);
    for (const QByteArray &bytes : std::exchange(d->queuedSends, {}))
        d->device->write(bytes);
    deliverReceive();
}

void TDConnection::peerClosed()
{
    d->peerClosed = true;
    deliverReceivedNow();
}

void TDConnection::fail(const QString &error)
{
    if (d->state == State::failed || d->state == State::cancelled)
        return;
    d->error = error;
    setState(State::failed, error);
    end();
}

void TDConnection::end(const QString &reason)
{
    d->queuedSends.clear();
    QObject::disconnect(d->device, nullptr, this, nullptr);
    abortDevice(reason);
    deliverReceive();
}

std::optional<TDConnection::Completion> TDConnection::takeCompletion()
{
    if (!d->receiver)
        return std::nullopt;
    Completion completion;
    if (d->state == State::failed || d->state == State::cancelled) {
        completion.error = d->error;
    } else if (d->state != State::ready) {
        return std::nullopt;
    } else {
        const qint64 available = d->device->bytesAvailable();
        if (available < d->minimumLength && !(d->peerClosed && available > 0)) {
            if (!d->peerClosed)
                return std::nullopt;
        } else {
            completion.content = d->device->read(d->maximumLength);
        }
        completion.isComplete = d->peerClosed && d->device->bytesAvailable() == 0;
    }
    return completion;
}

void TDConnection::deliverReceive()
{
    std::optional<Completion> completion = takeCompletion();
    if (!completion)
        return;
    QMetaObject::invokeMethod(
        this,
        [receiver = std::exchange(d->receiver, {}), c = std::move(*completion)] {
            receiver(c.content, c.isComplete, c.error);
        },
        Qt::QueuedConnection);
}

void TDConnection::deliverReceivedNow()
{
    if (d->delivering)
        return;
    d->delivering = true;
    const QPointer<TDConnection> self(this);
    // Only a live connection completes at once: the end of a failed or
    // cancelled one is told later, after its state report.
    while (d->state == State::ready) {
        std::optional<Completion> completion = takeCompletion();
        if (!completion)
            break;
        std::exchange(d->receiver, {})(completion->content, completion->isComplete, completion->error);
        if (!self)
            return;
        if (completion->isComplete)
            break;
    }
    d->delivering = false;
    deliverReceive();
}
