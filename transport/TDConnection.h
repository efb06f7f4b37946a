#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

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
    // An outgoing connection to host:port. Not started.
    TDConnection(const QString &host, quint16 port, QObject *parent = nullptr);
    // Closes the socket; no report is emitted and a pending receive is dropped.
    ~TDConnection() override;

    State state() const;
    void start();
    // Closes the socket; reports cancelled, and a pending receive completes
    // with an error.
    void cancel();

    // Where the connection comes from (or goes to).
    QHostAddress peerAddress() const;
    // At most `bytes` received are read ahead and kept until asked for (0: no
    // bound); beyond that the peer's bytes wait in TCP.
    void setReadAheadLimit(qint64 bytes);

    // Queue bytes for sending; dropped silently once failed or cancelled.
    void send(const QByteArray &bytes);

    // Deliver between minimumIncompleteLength and maximumLength bytes (or none
    // with isComplete/error), once. The completion runs as a later task on this
    // object's thread, and not at all if the connection is destroyed first.
    // isComplete comes with the last bytes once the peer has closed its side.
    void receive(int minimumIncompleteLength, int maximumLength, ReceiveCompletion completion);

signals:
    // Emitted once per state change; receivers are invoked as later tasks.
    void stateChanged(TDConnection::State state, const QString &error);
    // The peer closed the connection; also reported before start().
    void disconnected();

private:
    void setState(State state, const QString &error = {});
    void becomeReady();
    void peerClosed();
    void fail(const QString &error);
    // Closes the socket after failure or cancellation.
    void end();
    // Completes the armed receive if there is something to tell it.
    void deliverReceive();

    struct Private;
    std::unique_ptr<Private> d;
};
