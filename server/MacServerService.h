#pragma once

#include "log/ActionLog.h"
#include "server/ConnectionGate.h"
#include "server/PinThrottle.h"
#include "server/ServerState.h"
#include "server/TcpListener.h"
#include "transport/TDNetworkService.h"

#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class MacAppStore;
class QuickActions;
class AppControl;
class ClipboardActions;
class AppSettings;
class PairingGuard;
struct Platform;

// The desktop's one server: listener and advertisement, PIN, pairing,
// dispatch and the update timers, on top of the phone link it derives from.
class MacServerService : public TDNetworkService {
    Q_OBJECT
    Q_PROPERTY(ServerState serverState READ serverState NOTIFY serverStateChanged)
    Q_PROPERTY(QString pin READ pin NOTIFY pinChanged)
    Q_PROPERTY(QString listenerProblem READ listenerProblem NOTIFY listenerProblemChanged)
    // Why steering other applications' windows waits (until the next login, say).
    Q_PROPERTY(QString windowControlNotice READ windowControlNotice CONSTANT)
    // The address of the phone on the current connection, as the log writes it.
    Q_PROPERTY(QString phoneAddress READ phoneAddress NOTIFY phoneAddressChanged)
    Q_PROPERTY(ConnectionGate *approvals READ approvals CONSTANT)
public:
    static constexpr quint16 defaultPort = 57432;
    static constexpr int listenerRetryMs = 2000;
    static constexpr int runningAppsIntervalMs = 1500;
    static constexpr int pingIntervalMs = 5000;
    static constexpr int runningAppsAfterListMs = 100;
    // What a web remote's page is told when the desktop ends its link.
    static inline const QString replacedReason = QStringLiteral("replaced");
    static inline const QString wrongPinsReason = QStringLiteral("wrong PINs");
    static inline const QString forgottenReason = QStringLiteral("forgotten");

    // `platform` defaults to the services of the machine this runs on.
    explicit MacServerService(MacAppStore &appStore, Platform *platform = nullptr,
                              QObject *parent = nullptr);
    ~MacServerService() override;

    ServerState serverState() const { return m_serverState; }
    QString pin() const { return m_pin; }
    // While no listener can be made: what is wrong, for the status line
    // ("Port 57432 is in use, retrying"); empty otherwise.
    QString listenerProblem() const { return m_listenerProblem; }
    QString windowControlNotice() const;
    TcpListener *listener() const { return m_listener.get(); }
    const QTimer *runningAppsTimer() const { return m_runningAppsTimer; }
    const QTimer *pingTimer() const { return m_pingTimer; }
    MacAppStore &appStore() const { return m_appStore; }
    QString phoneAddress() const { return m_phoneAddress; }
    ConnectionGate *approvals() const { return m_gate.get(); }
    // How often PINs are compared; outlives every connection.
    PinThrottle &pinThrottle() { return m_pinThrottle; }

    // Protected mode and the approved phones; without settings the server
    // runs in the default mode.
    void setSettings(AppSettings *settings);
    // Where the connection and pairing lines go (standard output by default).
    void setLog(ActionLog log) { m_log = std::move(log); }

    Q_INVOKABLE void startListening();
    Q_INVOKABLE void sendAppList();

    // The computer's name for the advertisement and the greeting.
    QString computerName() const;

    // Tests listen elsewhere than the fixed port and choose the PIN's dice.
    void setListeningPort(quint16 port) { m_port = port; }
    void setListenAddress(const QHostAddress &address) { m_listenAddress = address; }
    void setRandomWordSource(std::function<quint64()> source) { m_randomWord = std::move(source); }

    // Reactions to the platform and the timers; public so tests can drive them.
    void handleListenerState(TcpListener::State state);
    void adoptConnection(TDConnection *newConnection);
    void handleConnectionState(TDConnection *from, TDConnection::State state);
    void handleMessage(const TDMessage &message);
    void pollRunningApps();
    void sendRunningAppsNow();
    void sendPing();

signals:
    void serverStateChanged();
    void pinChanged();
    void listenerProblemChanged();
    void phoneAddressChanged();

private:
    void setServerState(ServerState state);
    void setPin(const QString &pin);
    void setListenerProblem(const QString &problem);
    void redrawPin();
    void setPhoneAddress(const QString &address);
    void readvertise();
    void runMessageLoop();
    void awaitNextMessage();
    void checkPairing(const QString &pin);
    void completePairing();
    void sendClipboard();
    bool isCurrent(const QPointer<TDConnection> &target) const;
    QTimer *restartTimer(QTimer *old, int intervalMs, void (MacServerService::*handler)());

    struct RunningAppsSnapshot {
        QStringList bundleIDs;
        std::optional<QString> frontmost;
    };
    RunningAppsSnapshot gatherRunningApps() const;

    ServerState m_serverState = ServerState::stopped;
    QString m_pin;
    std::unique_ptr<TcpListener> m_listener;
    QTimer *m_runningAppsTimer = nullptr;
    MacAppStore &m_appStore;
    QTimer *m_pingTimer = nullptr;

    Platform &m_platform;
    quint16 m_port = defaultPort;
    QHostAddress m_listenAddress = QHostAddress::Any;
    QString m_listenerProblem;
    std::function<quint64()> m_randomWord;
    bool m_messageLoopRunning = false;
    QTimer m_listenerRetry;
    std::unique_ptr<QuickActions> m_quickActions;
    std::unique_ptr<AppControl> m_appControl;
    std::unique_ptr<ClipboardActions> m_clipboard;

    ActionLog m_log;
    QString m_phoneAddress;
    std::unique_ptr<ConnectionGate> m_gate;
    PinThrottle m_pinThrottle;
    std::unique_ptr<PairingGuard> m_guard;
};
