#pragma once

#include "catalogue/MacAppStore.h"
#include "protocol/AppItem.h"
#include "server/MacServerService.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// While it exists (the app picker is shown), every change of the store's
// selection asks the server, 0.05 s later, to send the app list if a phone
// is connected then. Each change gets its own delayed send.
class SelectionPush : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(MacAppStore *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(MacServerService *server READ server WRITE setServer NOTIFY serverChanged)
public:
    static constexpr int delayMs = 50;

    explicit SelectionPush(QObject *parent = nullptr);

    MacAppStore *store() const { return m_store; }
    void setStore(MacAppStore *store);
    MacServerService *server() const { return m_server; }
    void setServer(MacServerService *server);

signals:
    void storeChanged();
    void serverChanged();

private:
    void selectionChanged();

    QPointer<MacAppStore> m_store;
    QPointer<MacServerService> m_server;
    QList<AppItem> m_lastSeen;
};
