#include "ui/InstalledAppsModel.h"

#include "catalogue/AppScanner.h"
#include "catalogue/DesktopApps.h"
#include "catalogue/MacAppStore.h"
#include "ui/AppIconProvider.h"
#include "ui/AppIcons.h"

#include <QDir>
#include <QLocale>

namespace {

// "~/Applications" rather than the whole home path.
QString folderList(const QStringList &folders)
{
    const QString home = QDir::homePath() + QLatin1Char('/');
    QStringList shown;
    for (const QString &folder : folders)
        shown.append(folder.startsWith(home) ? QStringLiteral("~/") + folder.mid(home.size()) : folder);
    return shown.join(QStringLiteral(", "));
}

} // namespace

InstalledAppsModel::InstalledAppsModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void InstalledAppsModel::setStore(MacAppStore *store)
{
    if (m_store == store)
        return;
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    if (m_store) {
        connect(m_store, &MacAppStore::allInstalledAppsChanged, this, &InstalledAppsModel::rebuild);
        connect(m_store, &MacAppStore::selectedAppsChanged, this,
                &InstalledAppsModel::selectionChanged);
    }
    rebuild();
    emit storeChanged();
}

void InstalledAppsModel::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    refilter();
    emit searchTextChanged();
}

bool InstalledAppsModel::nameMatches(const QString &name, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    const QLocale locale;
    return locale.toLower(name).contains(locale.toLower(searchText));
}

QList<int> InstalledAppsModel::matchingRows() const
{
    QList<int> rows;
    if (!m_store)
        return rows;
    const QList<InstalledApp> &apps = m_store->allInstalledApps();
    for (int i = 0; i < apps.size(); ++i) {
        if (nameMatches(apps.at(i).name, m_searchText))
            rows.append(i);
    }
    return rows;
}

QList<InstalledApp> InstalledAppsModel::filteredApps() const
{
    QList<InstalledApp> apps;
    for (int row = 0; row < m_rows.size(); ++row)
        apps.append(*appAt(row));
    return apps;
}

void InstalledAppsModel::rebuild()
{
    const int before = m_rows.size();
    beginResetModel();
    m_rows = matchingRows();
    endResetModel();
    if (before != m_rows.size())
        emit countChanged();
    emit sourcesNoteChanged();
}

QString InstalledAppsModel::sourcesNote() const
{
    if (!m_store || m_store->allInstalledApps().size() != 1)
        return {};
    return tr("No other applications found. Searched for application bundles in %1, and for "
              "desktop entries in %2.")
        .arg(folderList(AppScanner::scanRoots()), folderList(DesktopApps::entryFolders()));
}

// Old and new rows are both ascending positions in the same catalogue, so
// one merge walk finds the rows to drop and the rows to add.
void InstalledAppsModel::refilter()
{
    const QList<int> wanted = matchingRows();
    const int before = m_rows.size();
    int row = 0;
    int next = 0;
    while (row < m_rows.size() || next < wanted.size()) {
        const bool haveOld = row < m_rows.size();
        const bool haveNew = next < wanted.size();
        if (haveOld && haveNew && m_rows.at(row) == wanted.at(next)) {
            ++row;
            ++next;
        } else if (haveOld && (!haveNew || m_rows.at(row) < wanted.at(next))) {
            beginRemoveRows({}, row, row);
            m_rows.removeAt(row);
            endRemoveRows();
        } else {
            beginInsertRows({}, row, row);
            m_rows.insert(row, wanted.at(next));
            endInsertRows();
            ++row;
            ++next;
        }
    }
    if (before != m_rows.size())
        emit countChanged();
}

void InstalledAppsModel::selectionChanged()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {IsSelectedRole});
}

const InstalledApp *InstalledAppsModel::appAt(int row) const
{
    if (!m_store || row < 0 || row >= m_rows.size())
        return nullptr;
    const QList<InstalledApp> &apps = m_store->allInstalledApps();
    const int position = m_rows.at(row);
    return position < apps.size() ? &apps.at(position) : nullptr;
}

int InstalledAppsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant InstalledAppsModel::data(const QModelIndex &index, int role) const
{
    const InstalledApp *app = appAt(index.row());
    if (!app)
        return {};
    switch (role) {
    case AppIdRole:
        return app->id.toString(QUuid::WithoutBraces);
    case NameRole:
    case Qt::DisplayRole:
        return app->name;
    case BundleIdRole:
        return app->bundleID;
    case HasIconRole:
        return AppIcons::hasIcon(*app);
    case IconSourceRole:
        return AppIcons::installedIconUrl(*app, AppIconProvider::of(this));
    case IsSelectedRole:
        return m_store->isSelected(*app);
    }
    return {};
}

QHash<int, QByteArray> InstalledAppsModel::roleNames() const
{
    return {
        {AppIdRole, "appId"},
        {NameRole, "name"},
        {BundleIdRole, "bundleID"},
        {HasIconRole, "hasIcon"},
        {IconSourceRole, "iconSource"},
        {IsSelectedRole, "isSelected"},
    };
}

void InstalledAppsModel::toggle(int row)
{
    if (const InstalledApp *app = appAt(row)) {
        const InstalledApp copy = *app; // the store may replace its list
        m_store->toggleSelection(copy);
    }
}
