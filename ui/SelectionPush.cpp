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

namespace {

// The same grid apart from icons that arrived: the server sends those itself.
bool sameApartFromIcons(QList<AppItem> a, QList<AppItem> b)
{
    for (QList<AppItem> *list : {&a, &b})
        for (AppItem &item : *list)
            item.iconData.reset();
    return a == b;
}

} // namespace

void SelectionPush::selectionChanged()
{
    const QList<AppItem> &current = m_store->selectedApps();
    const bool same = sameApartFromIcons(current, m_lastSeen);
    m_lastSeen = current;
    if (same)
        return;
    if (!m_server)
        return;
    // Tied to the server, not to this object: a send already scheduled still
    // happens when the page goes away meanwhile.
    QTimer::singleShot(delayMs, Qt::PreciseTimer, m_server.data(), [server = m_server] {
        if (server && server->isConnected())
            server->sendAppList();
    });
}
