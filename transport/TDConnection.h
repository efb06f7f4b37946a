#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>

#include <functional>
#include <optional>

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
    ~TDConnection() override;

    State state() const;
    void start();
    void cancel();

    // Queue bytes for sending; dropped silently once failed or cancelled.
    void send(const QByteArray &bytes);

    // Deliver between minimumIncompleteLength and maximumLength bytes (or none
    // with isComplete/error), once. The completion runs on this object's thread.
    void receive(int minimumIncompleteLength, int maximumLength, ReceiveCompletion completion);

signals:
    // Emitted once per state change; receivers are invoked as later tasks.
    void stateChanged(TDConnection::State state, const QString &error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
