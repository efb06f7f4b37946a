#pragma once

#include <QString>

// The lock file QSettings takes around every write of its file. QSettings
// waits for a held lock without limit, and judges a lock without an owner
// (left empty by a process killed while making it) stale only after 30 s.
namespace StaleLock {

// An empty lock older than this was left by a process that died making it:
// a live one writes its identity at once.
constexpr int emptyLockStaleMs = 100;

// True when the lock at `lockPath` is free now, after removing one left by a
// dead process or an empty one; false when a live process holds it or
// something other than a regular file is there. Never waits.
bool takeOverIfStale(const QString &lockPath);

} // namespace StaleLock
