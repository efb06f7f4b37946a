#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Moves a regular file to `to`, across file systems too, replacing what is
// there (a link at `to` is replaced, never written through). The folder of
// `to` is made when missing. On failure the file stays where it was.
ActionResult moveFile(const QString &from, const QString &to);
