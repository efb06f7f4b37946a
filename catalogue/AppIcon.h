#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

// An application's icon as a cheap handle: the icon file it comes from, or
// the generic application icon. Nothing is decoded until an image is asked
// for, and then only the file's image nearest the size asked; one small
// rendering is kept, never a full-size image. Copies share that rendering.
// image() may be called from any thread.
class AppIcon {
public:
    // The generic application icon.
    AppIcon();
    // The icon stored in `filePath` (any format Qt's image plugins read,
    // ".icns" included); drawn as the generic icon when it cannot be read.
    static AppIcon fromFile(const QString &filePath);

    // Empty for the generic icon.
    QString filePath() const;

    // The icon scaled to `size`; the generic icon if the file cannot be read.
    QImage image(QSize size) const;

    // Renderings up to this side length are kept for the next call.
    static constexpr int maxCachedSide = 128;

private:
    struct Source;
    explicit AppIcon(std::shared_ptr<Source> source);
    std::shared_ptr<Source> d;
};

// The generic application icon drawn at `size`: a rounded square with a
// simple glyph.
QImage genericAppIconImage(QSize size);
