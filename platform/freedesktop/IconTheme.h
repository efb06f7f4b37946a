#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Finds icon files by the freedesktop Icon Theme rules: the theme, the themes
// it inherits, "hicolor", then loose files in the base folders (pixmaps).
// Each theme's folders are listed once, when the theme is first consulted.
// Not shared between threads: make one per scan.
class IconTheme {
public:
    explicit IconTheme(const QString &themeName, QStringList baseDirectories = defaultBaseDirectories());
    ~IconTheme();
    IconTheme(const IconTheme &) = delete;
    IconTheme &operator=(const IconTheme &) = delete;

    // The file for an Icon key at `side` pixels: an absolute path is taken as
    // it is, a name is looked up. Empty when nothing usable is found, for a
    // relative path, a name that climbs out of the folders (".."), and for
    // anything that is not a regular file of sane size.
    QString locate(const QString &iconKey, int side);

    // ~/.icons, each data folder's "icons" ($XDG_DATA_HOME first), then each
    // data folder's "pixmaps".
    static QStringList defaultBaseDirectories();

    // The theme the desktop uses: KDE's kdeglobals [Icons] Theme on KDE, else
    // GNOME's org.gnome.desktop.interface icon-theme where that schema is
    // installed, else kdeglobals; "hicolor" when none is set.
    static QString userThemeName();

private:
    struct Theme;
    const Theme *theme(const QString &name);
    QString lookupInChain(const QString &name, int side, const QString &themeName, QSet<QString> &visited);
    QString lookupFallback(const QString &name) const;

    QString m_themeName;
    QStringList m_baseDirectories;
    QHash<QString, Theme *> m_themes; // nullptr for a theme that is not installed
};
