#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

// Writes `bytes` to `path`, making its folders; an executable file if asked.
bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false);

// The bytes of the file at `path`; empty when it cannot be read.
QByteArray readFile(const QString &path);

// `dir/relativePath`: an application entry (Type, Exec) plus `keys`, one a line.
bool writeDesktopEntry(const QString &dir, const QString &relativePath, const QString &keys);

// A square SVG filled with one colour.
QByteArray solidSvg(QColor color);
