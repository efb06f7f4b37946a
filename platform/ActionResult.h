#pragma once

#include <QString>

#include <optional>

// The outcome of a request to the desktop: why it failed, as a description
// for a log line, or nothing when it succeeded. Plain optional values (a
// name that may be missing) stay std::optional.
using ActionResult = std::optional<QString>;
