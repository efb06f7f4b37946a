#include "catalogue/IconCache.h"

#include "platform/StandardLocations.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

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
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

void write(const QString &bundleID, const QByteArray &png)
{
    const std::optional<QString> path = filePath(bundleID);
    if (!path)
        return;
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(png);
    file.commit();
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
