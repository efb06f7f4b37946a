#include "server/SelectionPush.h"

#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"

#include <QTimer>

SelectionPush::SelectionPush(MacAppStore &store, MacServerService &server)
    : QObject(&server), m_store(store), m_server(server),
      // The selection found on arrival is not a change.
      m_lastSeen(store.selectedApps())
{
    connect(&m_store, &MacAppStore::selectedAppsChanged, this, &SelectionPush::selectionChanged);
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
    const QList<AppItem> &current = m_store.selectedApps();
    const bool same = sameApartFromIcons(current, m_lastSeen);
    m_lastSeen = current;
    if (same)
        return;
    QTimer::singleShot(delayMs, Qt::PreciseTimer, &m_server, [server = &m_server] {
        if (server->isConnected())
            server->sendAppList();
    });
}
