#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reading files that someone else may have put in place: settings, icons,
// bundle metadata. A FIFO blocks whoever opens it and a device may never end,
// so only regular files are read; anything else is passed over with one line
// on standard output ("[Files] Not a regular file, ignored: PATH").
namespace RegularFile {

enum class Links { follow, refuse };

// The whole file, or nothing when it is missing, unreadable, not a regular
// file, larger than `maxBytes`, or (with Links::refuse) a symbolic link.
std::optional<QByteArray> read(const QString &path, qint64 maxBytes, Links links = Links::follow);

// True when something other than a regular file or a folder is at `path`
// (following links). Silent: the caller logs once, with logIgnored.
bool isSpecial(const QString &path);
void logIgnored(const QString &path);

} // namespace RegularFile
