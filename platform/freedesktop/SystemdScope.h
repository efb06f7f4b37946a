#pragma once

#include <QString>

// Moves a freshly started application into its own transient scope,
// app-tendril-APPID-PID.scope, as desktop shells do, so that its processes are
// told apart from this program's. Silently nothing where no systemd user
// instance runs. Fire and forget: the answer is not awaited.
void startInTransientScope(const QString &desktopId, qint64 pid);

// The unit name such a scope gets.
QString transientScopeName(const QString &desktopId, qint64 pid);
