#pragma once

#include "platform/FileViewer.h"

// org.freedesktop.FileManager1 on the session bus; nothing happens when no
// file manager answers.
class FreedesktopFileViewer : public FileViewer {
public:
    void showFile(const QString &path) override;
};
