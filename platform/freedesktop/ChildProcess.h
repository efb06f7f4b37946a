#pragma once

#include "platform/ActionResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Runs a tool to its end on the calling thread (any thread) and reports why it
// failed: not installed, could not start, crashed, timed out or a non-zero
// exit (with what it wrote on standard error). None on success; what it wrote
// on standard output goes to `output` when given.
ActionResult runChildProcess(const QString &program, const QStringList &arguments,
                             QByteArray *output = nullptr, int timeoutMs = 30000);
