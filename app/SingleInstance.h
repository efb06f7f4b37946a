#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QLocalServer;

// One windowed program per user. The first start owns a per-user name: the
// D-Bus name on the session bus, or a local socket in the user's runtime
// folder where there is no session bus. A later start asks the owner to
// show its window (org.freedesktop.Application.Activate, or one line on the
// socket) and then exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char *busName = "com.larkspire.Tendril";
    static constexpr const char *objectPath = "/com/larkspire/Tendril";

    enum class Claim { owned, handedOver, failed };

    // `bus` may be disconnected; `socketPath` is the fallback's socket.
    SingleInstance(QDBusConnection bus, QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The session bus and $XDG_RUNTIME_DIR (else the temporary folder).
    static SingleInstance *forCurrentUser(QObject *parent = nullptr);

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

    QDBusConnection m_bus;
    QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
