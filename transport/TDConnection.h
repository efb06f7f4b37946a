#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;
class QTcpSocket;
class WebSocketFrames;

// One TCP connection in the style the server and transport expect of the
// platform: created unstarted, started later, state reports delivered as
// separate later tasks on the thread that owns it, sends queued in call order
// (also before it is ready), and receives that are armed one at a time.
class TDConnection : public QObject {
    Q_OBJECT
public:
    enum class State { setup, preparing, ready, failed, cancelled };
    Q_ENUM(State)

    using ReceiveCompletion =
        std::function<void(QByteArray content, bool isComplete, std::optional<QString> error)>;

    // Adopts an already connected socket (from a listener). Not started.
    explicit TDConnection(QTcpSocket *socket, QObject *parent = nullptr);
    // Adopts an open WebSocket (a web remote): one text message a frame. Not started.
    explicit TDConnection(WebSocketFrames *webSocket, QObject *parent = nullptr);
    // An outgoing connection to host:port. Not started.
    TDConnection(const QString &host, quint16 port, QObject *parent = nullptr);
    // Closes the socket; no report is emitted and a pending receive is dropped.
    ~TDConnection() override;

    State state() const;
    void start();
    // Closes the socket; reports cancelled, and a pending receive completes
    // with an error. A web remote's page is told `reason` as it closes.
    void cancel(const QString &reason = {});

    // A web remote's link rather than the phone app's.
    bool isWebSocket() const;
    // Where the connection comes from (or goes to).
    QHostAddress peerAddress() const;
    // At most `bytes` received are read ahead and kept until asked for
    // (readBufferBytes unless changed); beyond that the peer's bytes wait in TCP.
    void setReadAheadLimit(qint64 bytes);

    // Queue bytes for sending; dropped silently once failed or cancelled.
    void send(const QByteArray &bytes);
    // Bytes queued by send that the peer has not taken yet.
    qint64 bytesToWrite() const;
    // Bytes read from the peer and held here until a receive takes them.
    qint64 bytesAvailable() const;

    // The socket reads no further ahead than this while nobody receives:
    // beyond it the peer is held back by TCP's own flow control.
    static constexpr qint64 readBufferBytes = 256 * 1024;

    // Deliver between minimumIncompleteLength and maximumLength bytes (or none
    // with isComplete/error), once, and not at all if the connection is
    // destroyed first. Bytes that arrive while a receive is armed complete it
    // at once, from the socket's own report, so nothing waits for another
    // turn of the event loop; a receive armed within that completion is served
    // by the same report while bytes remain. Otherwise (bytes already
    // waiting, a failure, a cancellation) the completion runs as a later task
    // on this object's thread, never inside the call that armed it.
    // isComplete comes with the last bytes once the peer has closed its side.
    void receive(int minimumIncompleteLength, int maximumLength, ReceiveCompletion completion);

signals:
    // Emitted once per state change; receivers are invoked as later tasks.
    void stateChanged(TDConnection::State state, const QString &error);
    // The peer closed the connection; also reported before start().
    void disconnected();
    // Some queued bytes went out.
    void bytesWritten();

private:
    void watchDevice(QIODevice *device);
    void abortDevice(const QString &reason = {});
    void setState(State state, const QString &error = {});
    void becomeReady();
    void peerClosed();
    void fail(const QString &error);
    // Closes the socket after failure or cancellation.
    void end(const QString &reason = {});
    // Completes the armed receive, as a later task, if there is something to tell it.
    void deliverReceive();
    // Completes armed receives now, while received bytes are there for them.
    void deliverReceivedNow();
    // What the armed receive is told: none while there is nothing to tell.
    struct Completion;
    std::optional<Completion> takeCompletion();

    struct Private;
    std::unique_ptr<Private> d;
};
