#pragma once

#include "transport/FrameBuffer.h"

#include <QHostAddress>
#include <QIODevice>

#include <memory>

class QWebSocket;

// A WebSocket seen as the phone link's byte stream: each text message reads
// as one frame (marker, length, body), and each frame written goes out as
// one text message. Binary messages are not part of the link and are dropped.
class WebSocketFrames : public QIODevice {
    Q_OBJECT
public:
    // Takes ownership of an open socket.
    explicit WebSocketFrames(std::unique_ptr<QWebSocket> socket, QObject *parent = nullptr);
    ~WebSocketFrames() override;

    static constexpr int closingGraceMs = 2000;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

    QHostAddress peerAddress() const;
    bool isConnected() const;
    // Messages the reader has not taken are kept up to `bytes` plus one
    // largest message; a peer that sends more is cut off.
    void setReadAheadLimit(qint64 bytes) { m_readAheadLimit = bytes; }
    // Closes, telling the page `reason`; what was written still goes out
    // first, for a little while, even once this object is gone.
    void closeLink(const QString &reason);

signals:
    void disconnected();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void takeMessage(const QString &message);
    void noteWritten(qint64 bytes);

    std::unique_ptr<QWebSocket> m_socket;
    QByteArray m_in;
    qsizetype m_inStart = 0;
    FrameBuffer m_out; // written bytes not yet a whole frame
    qint64 m_unsent = 0;
    qint64 m_readAheadLimit = 256 * 1024;
};
