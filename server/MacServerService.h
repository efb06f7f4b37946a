#pragma once

#include "server/ServerState.h"
#include "transport/TDNetworkService.h"

#include <QPointer>
#include <QString>
#include <QTimer>

class MacAppStore;
struct Platform;

// The desktop's one server: listener and advertisement, PIN, pairing,
// dispatch and the update timers, on top of the phone link it derives from.
class MacServerService : public TDNetworkService {
    Q_OBJECT
    Q_PROPERTY(ServerState serverState READ serverState NOTIFY serverStateChanged)
    Q_PROPERTY(QString pin READ pin NOTIFY pinChanged)
public:
    // `platform` defaults to the services of the machine this runs on.
    explicit MacServerService(MacAppStore &appStore, Platform *platform = nullptr,
                              QObject *parent = nullptr);
    ~MacServerService() override;

    ServerState serverState() const { return m_serverState; }
    QString pin() const { return m_pin; }

    Q_INVOKABLE void startListening();
    Q_INVOKABLE void sendAppList();

signals:
    void serverStateChanged();
    void pinChanged();

private:
    ServerState m_serverState = ServerState::stopped;
    QString m_pin;
    // … listener, runningAppsTimer, appStore, pingTimer
};
