#pragma once

#include <QString>

// Shows a file, selected, in the desktop's file manager. Main thread only.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    virtual void showFile(const QString &path) = 0;
};

// org.freedesktop.FileManager1 on the session bus; nothing happens when no
// file manager answers.
class FreedesktopFileViewer : public FileViewer {
public:
    void showFile(const QString &path) override;
};
