// The app catalogue.
#pragma once

#include "catalogue/AppSelection.h"
#include "catalogue/InstalledApp.h"
#include "protocol/AppItem.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class UserDefaults;

// The app catalogue and the user's grid selection. Main thread only, except
// the scan, which runs on the global pool.
class MacAppStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<InstalledApp> allInstalledApps READ allInstalledApps NOTIFY allInstalledAppsChanged)
    Q_PROPERTY(QList<AppItem> selectedApps READ selectedApps NOTIFY selectedAppsChanged)
public:
    // Starts the catalogue scan in the background and restores the saved
    // selection before it returns.
    explicit MacAppStore(QObject *parent = nullptr);
    ~MacAppStore() override;

    // Empty until the scan has finished; then Finder (or, where Finder is not
    // installed, the default file manager) first, the rest by name.
    const QList<InstalledApp> &allInstalledApps() const;
    // The phone's grid in slot order.
    const QList<AppItem> &selectedApps() const;
    const QString selectionsKey = QStringLiteral("tendril.selections.v3");

    // The grid holds at most this many applications.
    static constexpr int maxSelectedApps = 8;

    bool isSelected(const InstalledApp &app) const;
    // Adds the application at the end, or removes it when it is selected.
    // An addition to a full grid is refused silently.
    void toggleSelection(const InstalledApp &app);
    // As a list drag: the rows at `fromOffsets` land before the row that was
    // at `toOffset` (0 to count). Offsets outside the list are ignored.
    void moveSelections(const QSet<int> &fromOffsets, int toOffset);
    void removeSelections(const QSet<int> &offsets);

    // The scan itself: bundles, then the desktop menu's applications. Touches
    // no store state, may run on any thread.
    static QList<InstalledApp> scanInstalledApps();

    // "TendrilIcons" in the user's caches directory, created if missing.
    QString iconCacheDirectory() const;
    // The cached icon file's bytes, else a fresh 128 x 128 PNG rendering
    // (written to the cache); nothing when the app has no icon. Any thread:
    // the store itself renders on a worker.
    std::optional<QByteArray> pngIconData(const InstalledApp &app) const;

    // Whether the icon of a selected application is being rendered: its
    // item has no icon data until it arrives.
    bool isIconPending(const QString &bundleID) const;

signals:
    // Emitted after the list has changed.
    void allInstalledAppsChanged();
    void selectedAppsChanged();
    // After selectedAppsChanged, when only icons arrived: a selected
    // application's icon rendered after it was added or loaded.
    void selectedIconsArrived();

private:
    void loadInstalledApps();
    void loadSelections();
    void saveSelections();
    void renumberGridIndices();
    void setAllInstalledApps(const QList<InstalledApp> &apps);
    // Renumbers, saves and announces the new grid.
    void commitSelectedApps(QList<AppItem> apps);
    // Renders the app's icon on a worker, once at a time per application;
    // the selected item of that application takes it when it arrives.
    void renderIcon(const InstalledApp &app);
    void iconRendered(const QString &bundleID, const std::optional<QByteArray> &png);
    // Selected items whose icon file was gone at load, once the scan has
    // found their application.
    void renderMissingIcons();

    QList<InstalledApp> m_allInstalledApps;
    QList<AppItem> m_selectedApps;
    QSet<QString> m_iconsPending;
    std::unique_ptr<UserDefaults> m_defaults;
};
