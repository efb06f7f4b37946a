#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class MacAppStore;

// A temporary home: HOME and the XDG config, cache and data folders point into it
// for as long as the object lives.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    QString path() const { return m_dir.path(); }
    QString applications() const { return m_dir.path() + QStringLiteral("/Applications"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old[5];
};

// NAME.app under `root` with an Info.plist naming `bundleID` and `name`, and,
// when `iconSide` > 0, a PNG icon of that side. Returns the bundle path.
QString makeAppBundle(const QString &root, const QString &name, const QString &bundleID,
                      int iconSide);

// `count` plausible application names, no two alike.
QStringList sampleAppNames(int count);

// Fills `root` with `count` bundles named by sampleAppNames.
void makeCatalogue(const QString &root, int count, int iconSide);

// A recognisable square icon: a coloured rounded square with a letter.
QImage sampleIcon(const QString &name, int side);

// Toggles the selection of each app with one of these names, in this order.
void toggleApps(MacAppStore &store, const QStringList &names);

// Waits (running the event loop) until the store's scan has been published.
bool waitForCatalogue(MacAppStore &store, int timeoutMs = 10000);
