#include "app/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

const QByteArray kActivateLine = "activate ";
constexpr int kAnswerTimeoutMs = 3000;

// What the new start brings along so the window may take the focus.
QString ownActivationToken()
{
    const QString wayland = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : wayland;
}

// The standard interface of a unique application, Activate only.
class ApplicationAdaptor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(SingleInstance *owner) : QObject(owner), m_owner(owner) {}

public slots:
    void Activate(const QVariantMap &platformData)
    {
        QString token = platformData.value(QStringLiteral("activation-token")).toString();
        if (token.isEmpty())
            token = platformData.value(QStringLiteral("desktop-startup-id")).toString();
        QMetaObject::invokeMethod(m_owner, "activationRequested", Q_ARG(QString, token));
    }

private:
    SingleInstance *m_owner;
};

} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, QString socketPath, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_socketPath(std::move(socketPath))
{
}

SingleInstance::~SingleInstance()
{
    if (m_bus.isConnected() && m_server == nullptr) {
        m_bus.unregisterObject(QLatin1String(objectPath));
        m_bus.unregisterService(QLatin1String(busName));
    }
}

SingleInstance *SingleInstance::forCurrentUser(QObject *parent)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    const QString socket = QStringLiteral("%1/%2-%3.socket")
                               .arg(folder, QLatin1String(busName))
                               .arg(getuid());
    return new SingleInstance(QDBusConnection::sessionBus(), socket, parent);
}

SingleInstance::Claim SingleInstance::claim(QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    return m_bus.isConnected() ? claimOnBus(error) : claimSocket(error);
}

SingleInstance::Claim SingleInstance::claimOnBus(QString *error)
{
    auto *adaptor = new ApplicationAdaptor(this);
    if (!m_bus.registerObject(QLatin1String(objectPath), adaptor, QDBusConnection::ExportAllSlots)) {
        *error = QStringLiteral("cannot offer the activation object on the session bus");
        return Claim::failed;
    }
    if (m_bus.registerService(QLatin1String(busName)))
        return Claim::owned;
    m_bus.unregisterObject(QLatin1String(objectPath));
    delete adaptor;

    QDBusMessage activate = QDBusMessage::createMethodCall(
        QLatin1String(busName), QLatin1String(objectPath),
        QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    QVariantMap platformData;
    if (const QString token = ownActivationToken(); !token.isEmpty())
        platformData.insert(QStringLiteral("activation-token"), token);
    activate << platformData;
    const QDBusMessage reply = m_bus.call(activate, QDBus::Block, kAnswerTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        *error = QStringLiteral("another instance holds %1 but did not answer: %2")
                     .arg(QLatin1String(busName), reply.errorMessage());
        return Claim::failed;
    }
    return Claim::handedOver;
}

SingleInstance::Claim SingleInstance::claimSocket(QString *error)
{
    QLocalSocket other;
    other.connectToServer(m_socketPath);
    if (other.waitForConnected(kAnswerTimeoutMs)) {
        other.write(kActivateLine + ownActivationToken().toUtf8() + '\n');
        // The owner closes the line once it has read it.
        if (other.waitForBytesWritten(kAnswerTimeoutMs))
            other.waitForDisconnected(kAnswerTimeoutMs);
        return Claim::handedOver;
    }
    // Nobody answers: a socket left behind by a program that ended.
    QLocalServer::removeServer(m_socketPath);
    return listenOnSocket(error) ? Claim::owned : Claim::failed;
}

bool SingleInstance::listenOnSocket(QString *error)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine()) {
                    if (peer->bytesAvailable() > 4096) // not one of ours
                        peer->disconnectFromServer();
                    return;
                }
                const QByteArray line = peer->readLine(4096).trimmed() + ' ';
                if (line.startsWith(kActivateLine))
                    emit activationRequested(QString::fromUtf8(line.mid(kActivateLine.size()).trimmed()));
                peer->disconnectFromServer();
            });
        }
    });
    return true;
}

#include "SingleInstance.moc"
