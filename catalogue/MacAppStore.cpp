#include "catalogue/MacAppStore.h"

#include "catalogue/AppScanner.h"
#include "catalogue/CatalogueLog.h"
#include "catalogue/DesktopApps.h"
#include "catalogue/IconCache.h"
#include "platform/files/SettingsUserDefaults.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrent>

#include <algorithm>

namespace {

// Above the pool's default: the user is waiting for the picker to fill.
constexpr int userInitiatedPriority = 1;

} // namespace

MacAppStore::MacAppStore(QObject *parent)
    : QObject(parent), m_defaults(standardUserDefaults())
{
    loadInstalledApps();
    loadSelections();
}

MacAppStore::~MacAppStore() = default;

const QList<InstalledApp> &MacAppStore::allInstalledApps() const
{
    return m_allInstalledApps;
}

const QList<AppItem> &MacAppStore::selectedApps() const
{
    return m_selectedApps;
}

QList<InstalledApp> MacAppStore::scanInstalledApps()
{
    return DesktopApps::addMenuApplications(AppScanner::scan(AppScanner::scanRoots()));
}

void MacAppStore::loadInstalledApps()
{
    // The watcher is the scan's only link to the store: when the store goes,
    // the watcher goes with it and the finished list is dropped.
    auto *watcher = new QFutureWatcher<QList<InstalledApp>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const qsizetype found = watcher->result().size();
        qCInfo(lcCatalogue).noquote() << QStringLiteral("Found %1 application%2").arg(found).arg(found == 1 ? "" : "s");
        setAllInstalledApps(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::task(&MacAppStore::scanInstalledApps)
                           .withPriority(userInitiatedPriority)
                           .spawn());
}

void MacAppStore::setAllInstalledApps(const QList<InstalledApp> &apps)
{
    m_allInstalledApps = apps;
    emit allInstalledAppsChanged();
    renderMissingIcons();
}

bool MacAppStore::isSelected(const InstalledApp &app) const
{
    return std::any_of(m_selectedApps.cbegin(), m_selectedApps.cend(),
                       [&](const AppItem &item) { return item.bundleIdentifier == app.bundleID; });
}

void MacAppStore::toggleSelection(const InstalledApp &app)
{
    QList<AppItem> apps = m_selectedApps;
    const auto found = std::find_if(apps.begin(), apps.end(), [&](const AppItem &item) {
        return item.bundleIdentifier == app.bundleID;
    });
    if (found != apps.end()) {
        apps.erase(found);
        commitSelectedApps(std::move(apps));
        return;
    }
    if (apps.size() >= maxSelectedApps)
        return;
    // A cached file is taken at once; a rendering is made on a worker, as a
    // large or complex icon takes long, and joins the item when ready.
    const std::optional<QByteArray> cached = IconCache::read(app.bundleID);
    apps.append(AppItem(QUuid::createUuid(), app.bundleID, app.name, cached, apps.size(), false, false, false));
    if (!cached && app.icon)
        renderIcon(app); // pending before the views hear of the item
    commitSelectedApps(std::move(apps));
}

bool MacAppStore::isIconPending(const QString &bundleID) const
{
    return m_iconsPending.contains(bundleID);
}

void MacAppStore::renderIcon(const InstalledApp &app)
{
    if (m_iconsPending.contains(app.bundleID))
        return;
    m_iconsPending.insert(app.bundleID);
    // As for the scan: the watcher goes with the store, and the icon with it.
    auto *watcher = new QFutureWatcher<std::optional<QByteArray>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, bundleID = app.bundleID] {
        iconRendered(bundleID, watcher->result());
        watcher->deleteLater();
    });
    // The worker writes the file: the rendering is kept even when the store
    // has gone meanwhile.
    watcher->setFuture(QtConcurrent::run([icon = *app.icon, bundleID = app.bundleID] {
        std::optional<QByteArray> png = IconCache::renderPng(icon);
        if (png)
            IconCache::write(bundleID, *png);
        return png;
    }));
}

void MacAppStore::iconRendered(const QString &bundleID, const std::optional<QByteArray> &png)
{
    m_iconsPending.remove(bundleID);
    if (!png)
        return;
    bool arrived = false;
    for (AppItem &item : m_selectedApps) {
        if (item.bundleIdentifier == bundleID && !item.iconData) {
            item.iconData = png;
            arrived = true;
        }
    }
    if (!arrived)
        return;
    emit selectedAppsChanged();
    emit selectedIconsArrived();
}

void MacAppStore::renderMissingIcons()
{
    for (const AppItem &item : std::as_const(m_selectedApps)) {
        if (item.iconData)
            continue;
        const auto found = std::find_if(m_allInstalledApps.cbegin(), m_allInstalledApps.cend(),
                                        [&](const InstalledApp &app) { return app.bundleID == item.bundleIdentifier; });
        if (found != m_allInstalledApps.cend() && found->icon)
            renderIcon(*found);
    }
}

void MacAppStore::moveSelections(const QSet<int> &fromOffsets, int toOffset)
{
    const int count = int(m_selectedApps.size());
    const int destination = std::clamp(toOffset, 0, count);
    QList<AppItem> before, moved, after;
    for (int position = 0; position < count; ++position) {
        const AppItem &item = m_selectedApps.at(position);
        if (fromOffsets.contains(position))
            moved.append(item);
        else if (position < destination)
            before.append(item);
        else
            after.append(item);
    }
    commitSelectedApps(before + moved + after);
}

void MacAppStore::removeSelections(const QSet<int> &offsets)
{
    QList<AppItem> kept;
    for (int position = 0; position < m_selectedApps.size(); ++position) {
        if (!offsets.contains(position))
            kept.append(m_selectedApps.at(position));
    }
    commitSelectedApps(std::move(kept));
}

void MacAppStore::commitSelectedApps(QList<AppItem> apps)
{
    m_selectedApps = std::move(apps);
    renumberGridIndices();
    saveSelections();
    emit selectedAppsChanged();
}

void MacAppStore::renumberGridIndices()
{
    for (qsizetype position = 0; position < m_selectedApps.size(); ++position)
        m_selectedApps[position].gridIndex = position;
}

void MacAppStore::saveSelections()
{
    QList<AppSelection> selections;
    selections.reserve(m_selectedApps.size());
    for (const AppItem &item : m_selectedApps)
        selections.append({item.bundleIdentifier, item.displayName, item.gridIndex});
    m_defaults->setData(selectionsKey, encodeAppSelections(selections));

    // Every icon of the grid, so an emptied cache is refilled from memory.
    for (const AppItem &item : m_selectedApps) {
        if (item.iconData)
            IconCache::write(item.bundleIdentifier, *item.iconData);
    }
}

void MacAppStore::loadSelections()
{
    const std::optional<QByteArray> stored = m_defaults->data(selectionsKey);
    if (!stored)
        return;
    // An undecodable value gives no selection and stays stored until the next save.
    std::optional<QList<AppSelection>> selections = decodeAppSelections(*stored);
    if (!selections)
        return;
    if (selections->size() > maxSelectedApps) {
        // Only a hand-edited or hostile file holds more than the grid can.
        std::stable_sort(selections->begin(), selections->end(),
                         [](const AppSelection &a, const AppSelection &b) { return a.gridIndex < b.gridIndex; });
        qCWarning(lcCatalogue).noquote() << QStringLiteral("[Selections] %1 stored, the first %2 by gridIndex loaded")
                                                .arg(selections->size())
                                                .arg(maxSelectedApps);
        selections->resize(maxSelectedApps);
    }

    QList<AppItem> apps;
    apps.reserve(selections->size());
    for (const AppSelection &selection : *selections) {
        apps.append(AppItem(QUuid::createUuid(), selection.bundleID, selection.displayName,
                            IconCache::read(selection.bundleID), selection.gridIndex, false, false,
                            false));
    }
    m_selectedApps = std::move(apps);
    emit selectedAppsChanged();
}

QString MacAppStore::iconCacheDirectory() const
{
    return IconCache::directory();
}

std::optional<QByteArray> MacAppStore::pngIconData(const InstalledApp &app) const
{
    // A cached file always wins, whatever it holds.
    if (std::optional<QByteArray> cached = IconCache::read(app.bundleID))
        return cached;
    if (!app.icon)
        return std::nullopt;
    std::optional<QByteArray> png = IconCache::renderPng(*app.icon);
    if (png)
        IconCache::write(app.bundleID, *png);
    return png;
}
