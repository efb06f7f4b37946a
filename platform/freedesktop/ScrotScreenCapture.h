#pragma once

#include "platform/ScreenCapture.h"

// scrot, as a child process.
class ScrotScreenCapture : public ScreenCapture {
public:
    std::optional<QString> capture(const QString &path) override;
};
