#pragma once

#include "platform/ActionResult.h"
#include "platform/ScreenCapture.h"

// scrot, as a child process.
class ScrotScreenCapture : public ScreenCapture {
public:
    ActionResult capture(const QString &path) override;
};
