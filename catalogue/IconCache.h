#pragma once

#include "catalogue/AppIcon.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The icon files: one PNG per application, named after its bundle
// identifier, in "TendrilIcons" under the user's caches directory.
namespace IconCache {

// Side of the rendering sent to the phone.
constexpr int renderedSide = 128;

// The folder, created with its parents if missing (a failure is ignored).
QString directory();

// The icon file of `bundleID`; nothing when the identifier would name a file
// outside the folder (a path separator, NUL, "." or "..").
std::optional<QString> filePath(const QString &bundleID);

// A 128 x 128 PNG is tens of kilobytes; a file far larger is not one.
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

// The whole file, or nothing (also for a link or a special file).
std::optional<QByteArray> read(const QString &bundleID);
// Replaces the file atomically inside the folder; failures are ignored.
void write(const QString &bundleID, const QByteArray &png);

// `icon` drawn to fill a 128 x 128 canvas over nothing, as PNG bytes.
std::optional<QByteArray> renderPng(const AppIcon &icon);

} // namespace IconCache
