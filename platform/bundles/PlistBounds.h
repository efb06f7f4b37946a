#pragma once

#include <QByteArrayView>

// Limits checked on Info.plist bytes before the property-list library sees
// them. The library builds its whole tree recursively and expands every
// shared reference of the binary format into a copy, so a small crafted file
// can exhaust the stack or the memory. Real Info.plists are a few kilobytes,
// a few levels deep and hold a few hundred objects.
namespace PlistBounds {

constexpr qsizetype maxBytes = 1024 * 1024;
constexpr int maxDepth = 64;
// Objects the library would build, counting every use of a shared one.
constexpr int maxObjects = 20'000;
// String and data bytes the library would copy, again per use.
constexpr qint64 maxPayloadBytes = 4 * 1024 * 1024;

enum class Verdict { fits, tooLarge, tooDeep, tooManyObjects, malformed };

// XML or binary ("bplist" header). Costs at most one pass over the bytes.
Verdict check(QByteArrayView bytes);

} // namespace PlistBounds
