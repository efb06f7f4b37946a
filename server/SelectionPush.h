#pragma once

#include "protocol/AppItem.h"

#include <QList>
#include <QObject>

class MacAppStore;
class MacServerService;

// Every change of the store's selection asks the server, 0.05 s later, to
// send the app list if a phone is connected then. Each change gets its own
// delayed send. Lives as long as the server.
class SelectionPush : public QObject {
    Q_OBJECT
public:
    static constexpr int delayMs = 50;

    SelectionPush(MacAppStore &store, MacServerService &server);

private:
    void selectionChanged();

    MacAppStore &m_store;
    MacServerService &m_server;
    QList<AppItem> m_lastSeen;
};
