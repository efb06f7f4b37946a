#pragma once

#include "platform/Pasteboard.h"

#include <optional>

// A clipboard of this program's own, kept in memory: what is put on it is
// read back, and nothing else sees it.
class MemoryPasteboard : public Pasteboard {
public:
    void clearContents() override;
    void writeImage(const QImage &image) override;
    void setString(const QString &text) override;
    // PNG (and TIFF where Qt can write it) of the image put on it.
    std::optional<QByteArray> data(const QString &type) override;
    std::optional<QString> string() override;

private:
    std::optional<QImage> m_image;
    std::optional<QString> m_text;
};
