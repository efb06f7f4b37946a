#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>

// Writes `bytes` to `path`, making its folders.
bool writeFile(const QString &path, const QByteArray &bytes);

// `dir/relativePath`: an application entry (Type, Exec) plus `keys`, one a line.
bool writeDesktopEntry(const QString &dir, const QString &relativePath, const QString &keys);

// An icon theme's index.theme under `base/name`.
struct ThemeFolder {
    QString path; // "48x48/apps"
    QString type; // "Fixed", "Scalable" or "Threshold"
    int size = 0;
};
bool writeIconTheme(const QString &base, const QString &name, const QString &inherits,
                    const QList<ThemeFolder> &folders);

// A square SVG filled with one colour.
QByteArray solidSvg(QColor color);
