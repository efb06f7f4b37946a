#include "catalogue/IconCache.h"

#include "platform/files/StandardLocations.h"
#include "platform/files/RegularFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryFile>

#include <cstdio>

namespace IconCache {

QString directory()
{
    const QString path = StandardLocations::cachesDirectory() + QStringLiteral("/TendrilIcons");
    QDir().mkpath(path);
    return path;
}

std::optional<QString> filePath(const QString &bundleID)
{
    // The identifier comes from a bundle on disk or from the stored selection.
    if (bundleID.contains(QLatin1Char('/')) || bundleID.contains(QChar(0))
        || bundleID == QLatin1String(".") || bundleID == QLatin1String(".."))
        return std::nullopt;
    return directory() + QLatin1Char('/') + bundleID + QStringLiteral(".png");
}

std::optional<QByteArray> read(const QString &bundleID)
{
    const std::optional<QString> path = filePath(bundleID);
    if (!path)
        return std::nullopt;
    // A link would serve some other file's bytes as the icon.
    return RegularFile::read(*path, maxFileBytes, RegularFile::Links::refuse);
}

void write(const QString &bundleID, const QByteArray &png)
{
    const std::optional<QString> path = filePath(bundleID);
    if (!path)
        return;
    // A new file made beside it and renamed over the name: a link there is
    // replaced itself, never followed to its target.
    QTemporaryFile file(*path + QStringLiteral(".XXXXXX"));
    if (!file.open() || file.write(png) != png.size() || !file.flush())
        return;
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(*path).constData()) == 0)
        file.setAutoRemove(false);
}

std::optional<QByteArray> renderPng(const AppIcon &icon)
{
    const QSize size(renderedSide, renderedSide);
    const QImage image = icon.image(size);
    if (image.isNull())
        return std::nullopt;

    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return std::nullopt;
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), size), image);
    }

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(canvas) || png.isEmpty())
        return std::nullopt;
    return png;
}

} // namespace IconCache
