#pragma once

#include "catalogue/MacAppStore.h"
#include "protocol/AppItem.h"

#include <QAbstractListModel>
#include <QImage>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// The "On iPhone" rows: the store's selectedApps in slot order. Moves and
// deletions go straight to the store, which publishes the new list.
class SelectedAppsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(MacAppStore *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role {
        AppIdRole = Qt::UserRole + 1,
        DisplayNameRole,
        SlotRole,
        HasIconRole,
        IconSourceRole,
    };

    explicit SelectedAppsModel(QObject *parent = nullptr);

    MacAppStore *store() const { return m_store; }
    void setStore(MacAppStore *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // `toOffset` is the gap before which the row goes, counted in the list
    // as it was before the move.
    Q_INVOKABLE void move(int from, int toOffset);
    Q_INVOKABLE void remove(int row);

signals:
    void storeChanged();
    void countChanged();

private:
    void reload();

    struct Row {
        AppItem item;
        QImage icon; // null when the bytes are absent or unreadable
    };

    QPointer<MacAppStore> m_store;
    QList<Row> m_rows;
};
