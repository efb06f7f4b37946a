#include "app/SingleInstance.h"

#include "app/AppLog.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kActivateLine = "activate ";
const QByteArray kAnsweredLine = "activated\n";
constexpr int kAnswerTimeoutMs = 3000;

// The user on the other end of a local socket; -1 when unknown.
qint64 peerUser(const QLocalSocket &socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return -1;
    return credentials.uid;
}

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

SingleInstance::SingleInstance(QDBusConnection bus, QString socketPath, QObject *parent, QString why)
    : QObject(parent), m_bus(std::move(bus)), m_socketPath(std::move(socketPath)),
      m_noSocketWhy(std::move(why))
{
}

SingleInstance::~SingleInstance()
{
    if (m_bus.isConnected() && m_server == nullptr) {
        m_bus.unregisterObject(QLatin1String(objectPath));
        m_bus.unregisterService(QLatin1String(busName));
    }
}

bool SingleInstance::isPrivateFolder(const QString &path, QString *why)
{
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    const char *problem = nullptr;
    if (lstat(name.constData(), &status) != 0)
        problem = "it cannot be read";
    else if (!S_ISDIR(status.st_mode))
        problem = "it is not a folder";
    else if (status.st_uid != geteuid())
        problem = "it belongs to another user";
    else if ((status.st_mode & 07777) != 0700)
        problem = "others may enter it (mode is not 0700)";
    if (problem && why)
        *why = QStringLiteral("%1: %2").arg(path, QLatin1String(problem));
    return !problem;
}

SingleInstance *SingleInstance::forCurrentUser(QObject *parent)
{
    const QString socketName = QStringLiteral("%1.socket").arg(QLatin1String(busName));
    QString why;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime, &why))
        return new SingleInstance(QDBusConnection::sessionBus(), runtime + u'/' + socketName, parent);

    // Made here with mode 0700 unless it exists; then it is used only if it
    // is ours alone, as a folder that others can write lets them plant a socket.
    const QString own = QStringLiteral("%1/tendril-%2").arg(QDir::tempPath()).arg(geteuid());
    mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own, &why))
        return new SingleInstance(QDBusConnection::sessionBus(), own + u'/' + socketName, parent);
    return new SingleInstance(QDBusConnection::sessionBus(), QString(), parent, why);
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
    if (m_socketPath.isEmpty()) {
        *error = QStringLiteral("No private folder for the single-instance socket (%1); "
                                "starting without it").arg(m_noSocketWhy);
        return Claim::failed;
    }
    const QDeadlineTimer deadline(kAnswerTimeoutMs);
    QLocalSocket other;
    other.connectToServer(m_socketPath);
    if (!other.waitForConnected(int(deadline.remainingTime())))
        return takeOverSocket(error) ? Claim::owned : Claim::failed; // left behind by a run that ended

    if (const qint64 user = peerUser(other); user != qint64(geteuid())) {
        qCWarning(lcApp).noquote() << QStringLiteral("Ignoring %1: it is held by user %2, not by this user")
                                          .arg(m_socketPath).arg(user);
        return takeOverSocket(error) ? Claim::owned : Claim::failed;
    }
    other.write(kActivateLine + ownActivationToken().toUtf8() + '\n');
    other.flush();
    while (!other.canReadLine() && other.state() == QLocalSocket::ConnectedState
           && other.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    if (other.canReadLine() && other.readLine(64) == kAnsweredLine)
        return Claim::handedOver;
    qCWarning(lcApp).noquote() << QStringLiteral("The running instance did not answer within %1 s; "
                                                 "starting anyway").arg(kAnswerTimeoutMs / 1000);
    return takeOverSocket(error) ? Claim::owned : Claim::failed;
}

bool SingleInstance::takeOverSocket(QString *error)
{
    QLocalServer::removeServer(m_socketPath);
    return listenOnSocket(error);
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
        while (QLocalSocket *peer = m_server->nextPendingConnection())
            serve(peer);
    });
    return true;
}

void SingleInstance::serve(QLocalSocket *peer)
{
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    if (const qint64 user = peerUser(*peer); user != qint64(geteuid())) {
        qCWarning(lcApp).noquote() << QStringLiteral("Ignoring a start request from user %1").arg(user);
        peer->disconnectFromServer();
        return;
    }
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (!peer->canReadLine()) {
            if (peer->bytesAvailable() > 4096) // not one of ours
                peer->disconnectFromServer();
            return;
        }
        const QByteArray line = peer->readLine(4096).trimmed() + ' ';
        if (line.startsWith(kActivateLine)) {
            emit activationRequested(QString::fromUtf8(line.mid(kActivateLine.size()).trimmed()));
            peer->write(kAnsweredLine);
        }
        peer->disconnectFromServer();
    });
}

#include "SingleInstance.moc"
