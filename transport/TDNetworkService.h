#pragma once

#include "protocol/TDMessage.h"
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
    const FrameBuffer &receiveBuffer() const { return m_receiveBuffer; }

private:
    bool m_isConnected = false;
    QPointer<TDConnection> m_connection;
    FrameBuffer m_receiveBuffer;
    TDMessageStream *m_messageContinuation = nullptr;
};
