#include "ui/SelectionPush.h"

#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"

#include <QTimer>

SelectionPush::SelectionPush(QObject *parent)
    : QObject(parent)
{
}

void SelectionPush::setStore(MacAppStore *store)
{
    if (m_store == store)
        return;
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    // The selection found on arrival is not a change.
    m_lastSeen = m_store ? m_store->selectedApps() : QList<AppItem>();
    if (m_store)
        connect(m_store, &MacAppStore::selectedAppsChanged, this, &SelectionPush::selectionChanged);
    emit storeChanged();
}

void SelectionPush::setServer(MacServerService *server)
{
    if (m_server == server)
        return;
    m_server = server;
    emit serverChanged();
}

void SelectionPush::selectionChanged()
{
    const QList<AppItem> &current = m_store->selectedApps();
    if (current == m_lastSeen)
        return;
    m_lastSeen = current;
    if (!m_server)
        return;
    // Tied to the server, not to this object: a send already scheduled still
    // happens when the page goes away meanwhile.
    QTimer::singleShot(delayMs, Qt::PreciseTimer, m_server.data(), [server = m_server] {
        if (server && server->isConnected())
            server->sendAppList();
    });
}
