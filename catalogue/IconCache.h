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

// The whole file, or nothing.
std::optional<QByteArray> read(const QString &bundleID);
// Replaces the file atomically; failures are ignored.
void write(const QString &bundleID, const QByteArray &png);

// `icon` drawn to fill a 128 x 128 canvas over nothing, as PNG bytes.
std::optional<QByteArray> renderPng(const AppIcon &icon);

} // namespace IconCache
