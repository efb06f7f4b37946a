#pragma once

#include "catalogue/AppSelection.h"
#include "catalogue/InstalledApp.h"
#include "protocol/AppItem.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

// The app catalogue and the user's grid selection. Main thread only, except
// the scan, which runs on the global pool.
class MacAppStore : public QObject {
    Q_OBJECT
public:
    explicit MacAppStore(QObject *parent = nullptr);
    ~MacAppStore() override;

    const QList<InstalledApp> &allInstalledApps() const;
    const QList<AppItem> &selectedApps() const;
    const QString selectionsKey = QStringLiteral("tendril.selections.v3");

    bool isSelected(const InstalledApp &app) const;
    void toggleSelection(const InstalledApp &app);
    void moveSelections(const QSet<int> &fromOffsets, int toOffset);
    void removeSelections(const QSet<int> &offsets);

    // The scan itself; touches no store state, may run on any thread.
    static QList<InstalledApp> scanInstalledApps();

    QString iconCacheDirectory() const;
    std::optional<QByteArray> pngIconData(const InstalledApp &app) const;

signals:
    // Emitted after the list has changed.
    void allInstalledAppsChanged();
    void selectedAppsChanged();

private:
    // … implementation: loadInstalledApps, loadSelections, saveSelections,
    // renumberGridIndices
};
