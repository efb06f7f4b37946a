#include "server/MacServerService.h"

#include "catalogue/MacAppStore.h"
#include "platform/ApplicationServices.h"
#include "platform/ComputerName.h"
#include "platform/Platform.h"
#include "platform/ServiceAdvertiser.h"
#include "actions/AppControl.h"
#include "server/AppSettings.h"
#include "actions/ClipboardActions.h"
#include "server/ConnectionGate.h"
#include "log/LogCategories.h"
#include "server/PairingGuard.h"
#include "transport/PeerAddress.h"
#include "server/Pin.h"
#include "server/SelectionPush.h"
#include "actions/QuickActions.h"
#include "transport/ListenProblem.h"

namespace {
const QString kServiceType = QStringLiteral("_tendril._tcp");
const QString kServiceDomain = QStringLiteral("local.");
const QString kFallbackComputerName = QStringLiteral("Mac");
} // namespace

MacServerService::MacServerService(MacAppStore &appStore, Platform *platform, QObject *parent)
    : TDNetworkService(parent), m_appStore(appStore),
      m_platform(platform ? *platform : systemPlatform()),
      m_quickActions(std::make_unique<QuickActions>(*m_platform.actions)),
      m_appControl(std::make_unique<AppControl>(*m_platform.applications, *m_quickActions)),
      m_clipboard(std::make_unique<ClipboardActions>(*m_platform.pasteboard,
                                                     *m_platform.screenCapture,
                                                     *m_platform.fileViewer)),
      m_log(lcServer)
{
    // The gate and the guard write through the server's log, which tests replace.
    const ActionLog log([this](QtMsgType level, const QString &line) { m_log.log(level, line); });
    m_gate = std::make_unique<ConnectionGate>(log);
    m_guard = std::make_unique<PairingGuard>(m_pinThrottle, log);
    m_gate->setNotifications(m_platform.notifications);
    connect(m_gate.get(), &ConnectionGate::admitted, this, &MacServerService::adoptConnection);
    // An icon rendered after its application was selected or restored.
    connect(&m_appStore, &MacAppStore::selectedIconsArrived, this, &MacServerService::sendAppList);
    // A changed selection, shortly after the change.
    new SelectionPush(m_appStore, *this);
    // One pending retry at most, also when the window starts the server
    // meanwhile; precise, as coarse timers fire up to 5 % early.
    m_listenerRetry.setSingleShot(true);
    m_listenerRetry.setTimerType(Qt::PreciseTimer);
    m_listenerRetry.setInterval(listenerRetryMs);
    connect(&m_listenerRetry, &QTimer::timeout, this, &MacServerService::startListening);
    // The name may become known only after the listener is up: the
    // advertisement follows it; a greeting uses the best name known by then.
    if (m_platform.computerName)
        m_platform.computerName->onChanged([self = QPointer<MacServerService>(this)] {
            if (self)
                self->readvertise();
        });
}

MacServerService::~MacServerService()
{
    if (m_platform.computerName)
        m_platform.computerName->onChanged({});
}

void MacServerService::readvertise()
{
    if (m_listener && m_serverState != ServerState::stopped && m_platform.advertiser)
        m_platform.advertiser->advertise(computerName(), kServiceType, kServiceDomain,
                                         m_listener->port());
}

QString MacServerService::computerName() const
{
    const QString name = m_platform.computerName ? m_platform.computerName->localizedName()
                                                 : QString();
    return name.isEmpty() ? kFallbackComputerName : name;
}

void MacServerService::setServerState(ServerState state)
{
    if (m_serverState == state)
        return;
    m_serverState = state;
    emit serverStateChanged();
}

void MacServerService::setPin(const QString &pin)
{
    if (m_pin == pin)
        return;
    m_pin = pin;
    emit pinChanged();
}

QString MacServerService::windowControlNotice() const
{
    return m_platform.applications->windowControlNotice().value_or(QString());
}

void MacServerService::setListenerProblem(const QString &problem)
{
    if (m_listenerProblem == problem)
        return;
    m_listenerProblem = problem;
    emit listenerProblemChanged();
}

void MacServerService::setSettings(AppSettings *settings)
{
    m_gate->setSettings(settings);
    m_guard->setSettings(settings);
    if (!settings)
        return;
    // A phone the user no longer trusts does not keep the link it has.
    connect(settings, &AppSettings::phoneForgotten, this, [this, settings](const QString &address) {
        TDConnection *current = connection();
        if (!settings->requireApproval() || !current || address != m_phoneAddress)
            return;
        m_log.info(QStringLiteral("[Server] Phone at %1 was forgotten; its connection is closed")
                       .arg(address));
        current->cancel(forgottenReason);
    });
}

void MacServerService::setPhoneAddress(const QString &address)
{
    if (m_phoneAddress == address)
        return;
    m_phoneAddress = address;
    emit phoneAddressChanged();
}

void MacServerService::redrawPin()
{
    setPin(m_randomWord ? drawPin(m_randomWord) : drawPin());
}

void MacServerService::startListening()
{
    redrawPin();

    // A listener that failed may still hold the port; it is replaced anyway.
    m_listener.reset();
    TcpListener::Error error;
    std::unique_ptr<TcpListener> listener = TcpListener::create(m_port, m_listenAddress, &error);
    if (!listener) {
        // Said once when the retries begin, not at every retry.
        if (m_listenerProblem.isEmpty())
            qCWarning(lcServer).noquote() << QStringLiteral("Cannot listen on port %1 (%2); retrying every %3 s")
                                                 .arg(m_port).arg(error.text).arg(listenerRetryMs / 1000);
        setListenerProblem(listenProblem(m_port, error.code));
        m_listenerRetry.start();
        return;
    }
    m_listenerRetry.stop();
    m_listener = std::move(listener);
    qCInfo(lcServer).noquote() << (m_listenAddress == QHostAddress::Any
                                       ? QStringLiteral("Listening on port %1").arg(m_listener->port())
                                       : QStringLiteral("Listening on %1 port %2")
                                             .arg(m_listenAddress.toString())
                                             .arg(m_listener->port()));
    setListenerProblem(QString());

    if (m_platform.advertiser)
        m_platform.advertiser->advertise(computerName(), kServiceType, kServiceDomain,
                                         m_listener->port());

    TcpListener *current = m_listener.get();
    connect(current, &TcpListener::stateChanged, this,
            [this, current](TcpListener::State state) {
                if (current == m_listener.get())
                    handleListenerState(state);
            }, Qt::QueuedConnection);
    connect(current, &TcpListener::newConnection, m_gate.get(), &ConnectionGate::admit,
            Qt::QueuedConnection);
    current->start();
}

void MacServerService::handleListenerState(TcpListener::State state)
{
    switch (state) {
    case TcpListener::State::failed:
        qCWarning(lcServer).noquote() << QStringLiteral("Stopped listening on port %1; retrying every %2 s")
                                             .arg(m_listener ? m_listener->port() : m_port)
                                             .arg(listenerRetryMs / 1000);
        if (m_platform.advertiser)
            m_platform.advertiser->withdraw();
        setServerState(ServerState::stopped);
        // A listener that stops accepting (out of descriptors, say) would
        // otherwise leave the phone shut out until the window is shown again.
        m_listenerRetry.start();
        break;
    case TcpListener::State::ready:
        setServerState(ServerState::advertising);
        break;
    default:
        break;
    }
}

void MacServerService::adoptConnection(TDConnection *newConnection)
{
    const QString address = peerAddressText(newConnection->peerAddress());
    if (TDConnection *previous = connection()) {
        const TDConnection::State state = previous->state();
        if (state != TDConnection::State::failed && state != TDConnection::State::cancelled)
            m_log.info(QStringLiteral("[Server] Phone at %1 replaced by a new connection")
                           .arg(m_phoneAddress));
        previous->cancel(replacedReason);
        // Its cancelled report is ignored below, so stop the updates here:
        // they resume when the new phone pairs.
        if (m_runningAppsTimer)
            m_runningAppsTimer->stop();
    }
    m_log.info(QStringLiteral("[Server] Phone connected from %1").arg(address));
    // A web remote is held to protected mode's rules and never told the PIN:
    // any page on the network can open a link.
    const bool web = newConnection->isWebSocket();
    m_guard->begin(address, web);
    setPhoneAddress(address);
    setConnection(newConnection);
    setServerState(ServerState::connected);
    // Reports already come as tasks of their own; taken as they come, a
    // report is handled before the end of a receive the same change caused.
    connect(newConnection, &TDConnection::stateChanged, this,
            [this, newConnection](TDConnection::State state) {
                handleConnectionState(newConnection, state);
            });
    newConnection->start();
    send(td::MacHello{web ? QString() : m_pin, computerName()});
}

void MacServerService::handleConnectionState(TDConnection *from, TDConnection::State state)
{
    // A replaced connection's late reports must not disturb the phone in use.
    if (from != connection())
        return;
    switch (state) {
    case TDConnection::State::ready:
        setIsConnected(true);
        receiveNext();
        runMessageLoop();
        break;
    case TDConnection::State::failed:
    case TDConnection::State::cancelled:
        setIsConnected(false);
        setPhoneAddress({});
        setServerState(ServerState::advertising);
        if (m_runningAppsTimer)
            m_runningAppsTimer->stop();
        break;
    default:
        break;
    }
}

// One loop serves every connection: the stream outlives them, and a single
// consumer keeps each message handled once, in arrival order.
void MacServerService::runMessageLoop()
{
    if (m_messageLoopRunning)
        return;
    m_messageLoopRunning = true;
    awaitNextMessage();
}

void MacServerService::awaitNextMessage()
{
    messages()->next(this, [this](TDMessage message) {
        handleMessage(message);
        awaitNextMessage();
    });
}

void MacServerService::checkPairing(const QString &pin)
{
    if (!m_guard->mayComparePin()) {
        // Answered as the phone app knows, so it offers the PIN box again.
        send(td::PairingRejected{});
        return;
    }
    if (pin == m_pin) {
        m_guard->pairingSucceeded();
        completePairing();
        return;
    }
    send(td::PairingRejected{});
    if (m_guard->pairingFailed()) {
        if (TDConnection *current = connection())
            current->cancel(wrongPinsReason);
        redrawPin();
    }
}

void MacServerService::completePairing()
{
    send(td::PairingConfirmed{});
    setServerState(ServerState::paired);
    sendAppList();
    m_runningAppsTimer = restartTimer(m_runningAppsTimer, runningAppsIntervalMs,
                                      &MacServerService::pollRunningApps);
    m_pingTimer = restartTimer(m_pingTimer, pingIntervalMs, &MacServerService::sendPing);
}

QTimer *MacServerService::restartTimer(QTimer *old, int intervalMs,
                                       void (MacServerService::*handler)())
{
    if (old) {
        old->stop();
        old->deleteLater();
    }
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, handler);
    timer->start();
    return timer;
}

void MacServerService::sendAppList()
{
    if (!isConnected())
        return;
    send(td::AppListUpdate{m_appStore.selectedApps()});
    QTimer::singleShot(runningAppsAfterListMs, Qt::PreciseTimer, this,
                       [this, target = QPointer<TDConnection>(connection())] {
                           if (isCurrent(target))
                               sendRunningAppsNow();
                       });
}

MacServerService::RunningAppsSnapshot MacServerService::gatherRunningApps() const
{
    RunningAppsSnapshot snapshot;
    ApplicationServices &apps = *m_platform.applications;
    for (const RunningApplication &app : apps.runningApplications())
        if (app.bundleIdentifier)
            snapshot.bundleIDs.append(*app.bundleIdentifier);
    if (const std::optional<RunningApplication> front = apps.frontmostApplication())
        snapshot.frontmost = front->bundleIdentifier;
    return snapshot;
}

void MacServerService::pollRunningApps()
{
    RunningAppsSnapshot snapshot = gatherRunningApps();
    const QString ownIdentifiers[] = {
        QStringLiteral("com.larkspire.tendrilmac"),
        m_platform.applications->ownBundleIdentifier().value_or(QString()),
    };
    const QString front = snapshot.frontmost.value_or(QString());
    for (const QString &own : ownIdentifiers)
        if (front == own)
            snapshot.frontmost.reset();

    QMetaObject::invokeMethod(this, [this, snapshot, target = QPointer<TDConnection>(connection())] {
        if (!isCurrent(target))
            return;
        send(td::RunningAppsUpdate{snapshot.bundleIDs});
        send(td::FrontmostAppUpdate{snapshot.frontmost});
    }, Qt::QueuedConnection);
}

void MacServerService::sendRunningAppsNow()
{
    const RunningAppsSnapshot snapshot = gatherRunningApps();
    send(td::RunningAppsUpdate{snapshot.bundleIDs});
    send(td::FrontmostAppUpdate{snapshot.frontmost});
}

// A report made for one phone never reaches the phone that replaced it.
bool MacServerService::isCurrent(const QPointer<TDConnection> &target) const
{
    return isConnected() && target && target == connection();
}

void MacServerService::sendPing()
{
    if (isConnected())
        send(td::Ping{});
}
