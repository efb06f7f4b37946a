#include "catalogue/AppIcon.h"

#include "platform/files/RegularFile.h"

#include <QBuffer>
#include <QImageReader>
#include <QLinearGradient>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QXmlStreamReader>

struct AppIcon::Source {
    explicit Source(QString path) : path(std::move(path)) {}

    const QString path;
    QMutex mutex;
    QImage cached; // the last rendering no larger than maxCachedSide
};

namespace {

// The largest .icns holds a few megabytes of PNG.
constexpr qint64 maxIconFileBytes = 32 * 1024 * 1024;

// What one icon may cost, checked before anything is decoded: rendering a
// vector icon takes time with its element count, decoding a raster image
// memory with its pixel count (4096 x 4096 x 4 bytes = 64 MB).
constexpr qint64 maxSvgBytes = 2 * 1024 * 1024;
constexpr int maxSvgElements = 2000;
constexpr int maxRasterSide = 4096;

bool isSvg(const QByteArray &format)
{
    return format == "svg" || format == "svgz";
}

// A drawing small enough to render within the budget. A compressed one is
// refused: its size says nothing about what it unpacks to.
bool isAffordableSvg(const QByteArray &bytes, const QByteArray &format)
{
    if (format != "svg" || bytes.size() > maxSvgBytes)
        return false;
    QXmlStreamReader xml(bytes);
    int elements = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && ++elements > maxSvgElements)
            return false;
    return true;
}

// Pixel side of the images in an .icns file, by element type; the ICNS reader
// does not report sizes, only the type as its sub-type.
int icnsTypeSide(const QByteArray &type)
{
    static const struct {
        const char *type;
        int side;
    } sides[] = {
        {"icp4", 16}, {"is32", 16}, {"ics#", 16}, {"icm#", 16}, {"icp5", 32},
        {"il32", 32}, {"ICN#", 32}, {"ICON", 32}, {"ic11", 32}, {"ih32", 48},
        {"ich#", 48}, {"icp6", 64}, {"ic12", 64}, {"it32", 128}, {"ic07", 128},
        {"ic08", 256}, {"ic13", 256}, {"ic09", 512}, {"ic14", 512}, {"ic10", 1024},
    };
    for (const auto &entry : sides) {
        if (type == entry.type)
            return entry.side;
    }
    return 0;
}

// The larger side of the reader's current image, without decoding it; 0 when
// the format cannot tell.
int currentImageSide(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.isValid())
        return qMax(size.width(), size.height());
    return icnsTypeSide(reader.subType());
}

// Moves the reader to the image nearest `side`: the smallest at least that
// large, else the largest there is.
void jumpToNearestImage(QImageReader &reader, int side)
{
    const int count = reader.imageCount();
    if (count <= 1)
        return;
    int best = -1, bestSide = 0;
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            continue;
        const int candidate = currentImageSide(reader);
        if (candidate <= 0)
            continue;
        const bool bestTooSmall = bestSide < side;
        const bool better = best < 0 || (bestTooSmall ? candidate > bestSide
                                                      : candidate >= side && candidate < bestSide);
        if (better) {
            best = i;
            bestSide = candidate;
        }
    }
    reader.jumpToImage(best >= 0 ? best : 0);
}

QImage decodeFile(const QString &path, QSize size)
{
    // Read whole first: a FIFO or a device in a bundle would block the reader.
    std::optional<QByteArray> bytes = RegularFile::read(path, maxIconFileBytes);
    if (!bytes)
        return {};
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (isSvg(format)) {
        if (!isAffordableSvg(*bytes, format))
            return {};
    } else {
        jumpToNearestImage(reader, qMax(size.width(), size.height()));
        const QSize declared = reader.size();
        const int side = declared.isValid() ? qMax(declared.width(), declared.height()) : currentImageSide(reader);
        if (side <= 0 || side > maxRasterSide)
            return {}; // unknown or too large: its header is all that is read
    }
    if (reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

AppIcon::AppIcon() : AppIcon(nullptr) {}

AppIcon::AppIcon(std::shared_ptr<Source> source) : d(std::move(source))
{
    if (!d) {
        // One shared source for every generic icon, so they share a rendering.
        static const auto generic = std::make_shared<Source>(QString());
        d = generic;
    }
}

AppIcon AppIcon::fromFile(const QString &filePath)
{
    if (filePath.isEmpty())
        return AppIcon();
    return AppIcon(std::make_shared<Source>(filePath));
}

QString AppIcon::filePath() const
{
    return d->path;
}

QImage AppIcon::image(QSize size) const
{
    if (size.isEmpty())
        return {};
    QMutexLocker lock(&d->mutex);
    if (d->cached.size() == size)
        return d->cached;

    QImage rendered = d->path.isEmpty() ? QImage() : decodeFile(d->path, size);
    if (rendered.isNull())
        rendered = genericAppIconImage(size);
    if (size.width() <= maxCachedSide && size.height() <= maxCachedSide)
        d->cached = rendered;
    return rendered;
}

QImage genericAppIconImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);

    const QRectF canvas(QPointF(0, 0), QSizeF(size));
    const qreal side = qMin(canvas.width(), canvas.height());
    const QRectF square(canvas.center() - QPointF(side, side) * 0.45, QSizeF(side, side) * 0.9);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(square.topLeft(), square.bottomLeft());
    fill.setColorAt(0, QColor(0x8e, 0x9b, 0xb0));
    fill.setColorAt(1, QColor(0x55, 0x60, 0x75));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(square, side * 0.2, side * 0.2);

    // The glyph: a two-by-two grid of small rounded tiles.
    painter.setBrush(QColor(255, 255, 255, 220));
    const qreal tile = square.width() * 0.22;
    const qreal gap = square.width() * 0.08;
    const QPointF origin = square.center() - QPointF(tile + gap / 2, tile + gap / 2);
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QRectF cell(origin + QPointF(column * (tile + gap), row * (tile + gap)),
                              QSizeF(tile, tile));
            painter.drawRoundedRect(cell, tile * 0.25, tile * 0.25);
        }
    }
    return image;
}
