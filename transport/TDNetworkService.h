#pragma once

#include "protocol/TDMessage.h"
#include "transport/BackPressure.h"
#include "transport/FrameBuffer.h"
#include "transport/TDConnection.h"
#include "transport/TDMessageStream.h"

#include <QObject>
#include <QPointer>

#include <optional>

// The phone link over one TCP connection: frames in, messages out, and the
// published connection flag. The server decides which connection is used.
class TDNetworkService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
public:
    static constexpr int maximumReceiveLength = 65'536;

    explicit TDNetworkService(QObject *parent = nullptr);
    ~TDNetworkService() override;

    bool isConnected() const { return m_isConnected; }
    TDConnection *connection() const { return m_connection; }

    // Created on first use; the same stream for the life of the service.
    TDMessageStream *messages();

    // Frames and writes one message; one whose body exceeds what the phone
    // reads (FrameBuffer::maximumBodyLength) is not sent.
    void send(const TDMessage &message);
    void receiveNext();

    // Bytes this link holds for the current phone: unread in the socket, in
    // the receive buffer, decoded and waiting, and waiting to be written.
    qint64 bufferedBytes() const;
    BackPressure &backPressure() { return m_backPressure; }

signals:
    void isConnectedChanged();

protected:
    void setIsConnected(bool connected);
    // Takes ownership. The previous connection is released: its signals to
    // this object are cut, so its late reports cannot touch the new one, and
    // it is deleted later, which closes its socket. Bytes left over from it are
    // dropped so they cannot be glued in front of the new connection's bytes.
    // Passing nullptr forgets the current connection.
    void setConnection(TDConnection *connection);

    // Internal steps, protected for the server and for tests. Completions
    // from any connection but the current one are ignored.
    void handleReceive(TDConnection *from, const QByteArray &content, bool isComplete,
                       const std::optional<QString> &error);
    void processBuffer();
    // Takes up frames and receives held back while the link was backed up.
    void resumeReceiving();
    const FrameBuffer &receiveBuffer() const { return m_receiveBuffer; }

private:
    // The end of the receive chain (peer closed, or a receive failed).
    void endReceiving();
    void disconnectStalledPhone(qint64 bytesWaiting);

    bool m_isConnected = false;
    QPointer<TDConnection> m_connection;
    FrameBuffer m_receiveBuffer;
    TDMessageStream *m_messageContinuation = nullptr;
    BackPressure m_backPressure;
    // Held back: the next receive, or the end of the chain behind waiting frames.
    bool m_receiveHeld = false;
    bool m_endHeld = false;
    // Inside processBuffer, which a handler must not enter again.
    bool m_cutting = false;
};
