#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

// Writes `bytes` to `path`, making its folders.
bool writeFile(const QString &path, const QByteArray &bytes);

// `dir/relativePath`: an application entry (Type, Exec) plus `keys`, one a line.
bool writeDesktopEntry(const QString &dir, const QString &relativePath, const QString &keys);

// A square SVG filled with one colour.
QByteArray solidSvg(QColor color);
