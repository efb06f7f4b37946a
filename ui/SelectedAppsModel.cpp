#include "ui/SelectedAppsModel.h"

#include "catalogue/AppIcon.h"
#include "catalogue/MacAppStore.h"
#include "ui/AppIconProvider.h"
#include "ui/AppIcons.h"

#include <algorithm>

SelectedAppsModel::SelectedAppsModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void SelectedAppsModel::setStore(MacAppStore *store)
{
    if (m_store == store)
        return;
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (m_store)
        connect(m_store, &MacAppStore::selectedAppsChanged, this, &SelectedAppsModel::reload);
    reload();
    emit storeChanged();
}

void SelectedAppsModel::reload()
{
    const int before = m_rows.size();
    const QList<Row> previous = m_rows;
    beginResetModel();
    m_rows.clear();
    if (m_store) {
        for (const AppItem &item : m_store->selectedApps()) {
            QImage icon;
            if (item.iconData)
                icon = QImage::fromData(*item.iconData);
            else if (m_store->isIconPending(item.bundleIdentifier))
                icon = genericAppIconImage(QSize(128, 128)); // until the rendering arrives
            m_rows.append({item, icon});
        }
    }
    endResetModel();
    AppIconProvider *provider = AppIconProvider::of(this);
    for (const Row &row : previous) {
        const bool kept = std::any_of(m_rows.cbegin(), m_rows.cend(),
                                      [&](const Row &now) { return now.item.id == row.item.id; });
        if (!kept)
            AppIcons::forgetSelectedIcon(row.item.id, provider);
    }
    if (before != m_rows.size())
        emit countChanged();
}

int SelectedAppsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant SelectedAppsModel::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case AppIdRole:
        return row.item.id.toString(QUuid::WithoutBraces);
    case DisplayNameRole:
    case Qt::DisplayRole:
        return row.item.displayName;
    case SlotRole:
        return row.item.gridIndex + 1;
    case HasIconRole:
        return !row.icon.isNull();
    case IconSourceRole:
        return AppIcons::selectedIconUrl(row.item.id, row.icon, AppIconProvider::of(this));
    }
    return {};
}

QHash<int, QByteArray> SelectedAppsModel::roleNames() const
{
    return {
        {AppIdRole, "appId"},
        {DisplayNameRole, "displayName"},
        {SlotRole, "slot"},
        {HasIconRole, "hasIcon"},
        {IconSourceRole, "iconSource"},
    };
}

void SelectedAppsModel::move(int from, int toOffset)
{
    if (!m_store || from < 0 || from >= m_rows.size() || toOffset < 0
        || toOffset > m_rows.size())
        return;
    m_store->moveSelections({from}, toOffset);
}

void SelectedAppsModel::remove(int row)
{
    if (!m_store || row < 0 || row >= m_rows.size())
        return;
    m_store->removeSelections({row});
}
