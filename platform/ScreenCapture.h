#pragma once

#include "platform/ActionResult.h"

#include <QString>

#include <optional>

// Captures the whole screen into a PNG file, silently (no shutter sound).
// Runs the capture to its end on the calling thread; the error's
// description, or none when the file was written.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    virtual ActionResult capture(const QString &path) = 0;
};
