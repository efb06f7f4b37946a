#pragma once

#include <QString>

// Shows a file, selected, in the desktop's file manager. Main thread only.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    virtual void showFile(const QString &path) = 0;
};
