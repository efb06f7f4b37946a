#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QLocalServer;

// One windowed program per user. The first start owns a per-user name: the
// D-Bus name on the session bus, or else a local socket in a folder that
// only this user can enter (the runtime folder, or a folder of its own in
// the temporary folder; owner and mode 0700 are checked). A later start asks
// the owner to show its window (org.freedesktop.Application.Activate, or one
// line on the socket) and exits only once the owner has answered. A socket
// held by another user, or an owner that does not answer in time, does not
// stop a start: it takes the socket over and says so in one log line.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char *busName = "com.larkspire.Tendril";
    static constexpr const char *objectPath = "/com/larkspire/Tendril";

    enum class Claim { owned, handedOver, failed };

    // `bus` may be disconnected; `socketPath` is the fallback's socket, empty
    // when there is no private folder for it (`why` says why).
    SingleInstance(QDBusConnection bus, QString socketPath, QObject *parent = nullptr,
                   QString why = {});
    ~SingleInstance() override;

    // The session bus and $XDG_RUNTIME_DIR (else a private folder in the
    // temporary folder).
    static SingleInstance *forCurrentUser(QObject *parent = nullptr);
    // `path` is a directory, not a link, owned by this user, mode 0700.
    static bool isPrivateFolder(const QString &path, QString *why = nullptr);

    // Owns the name, or hands the start over to its owner. On failure
    // `error` says why.
    Claim claim(QString *error = nullptr);

signals:
    // Another start asked for the window; the token lets the compositor
    // raise it (empty when none came along).
    void activationRequested(const QString &activationToken);

private:
    Claim claimOnBus(QString *error);
    Claim claimSocket(QString *error);
    bool listenOnSocket(QString *error);
    bool takeOverSocket(QString *error);
    void serve(class QLocalSocket *peer);

    QDBusConnection m_bus;
    QString m_socketPath;
    QString m_noSocketWhy;
    QLocalServer *m_server = nullptr;
};
