#pragma once

#include "catalogue/InstalledApp.h"
#include "catalogue/MacAppStore.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// The app picker's rows: `filteredApps`, the store's catalogue filtered by
// `searchText`. Rows keep the catalogue's order; a new search removes and
// inserts only the rows that change, so the rows that stay keep their
// delegates.
class InstalledAppsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(MacAppStore *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
    Q_PROPERTY(QString sourcesNote READ sourcesNote NOTIFY sourcesNoteChanged)
public:
    enum Role {
        AppIdRole = Qt::UserRole + 1,
        NameRole,
        BundleIdRole,
        HasIconRole,
        IconSourceRole,
        IsSelectedRole,
    };

    explicit InstalledAppsModel(QObject *parent = nullptr);

    MacAppStore *store() const { return m_store; }
    void setStore(MacAppStore *store);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);

    QList<InstalledApp> filteredApps() const;
    // While the catalogue holds only its fixed first record: the folders that
    // were searched, so the user can tell why an application is missing.
    // Empty otherwise.
    QString sourcesNote() const;
    // Case-insensitive by the user's locale; an empty search matches all.
    static bool nameMatches(const QString &name, const QString &searchText);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE void toggle(int row);

signals:
    void storeChanged();
    void searchTextChanged();
    void countChanged();
    void sourcesNoteChanged();

private:
    QList<int> matchingRows() const;
    void rebuild();
    void refilter();
    void selectionChanged();
    const InstalledApp *appAt(int row) const;

    QPointer<MacAppStore> m_store;
    QString m_searchText;
    QList<int> m_rows; // positions in the store's catalogue, ascending
};
