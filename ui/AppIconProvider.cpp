#include "ui/AppIconProvider.h"

#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>
#include <QUrlQuery>

AppIconProvider::AppIconProvider()
    : QQuickImageProvider(QQuickImageProvider::Image,
                          QQuickImageProvider::ForceAsynchronousImageLoading)
{
}

void AppIconProvider::setSource(const QString &key, Source source)
{
    QMutexLocker lock(&m_mutex);
    m_sources.insert(key, std::move(source));
}

void AppIconProvider::removeSource(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    m_sources.remove(key);
}

AppIconProvider::Source AppIconProvider::sourceFor(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_sources.value(key);
}

QImage AppIconProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const qsizetype queryAt = id.indexOf(u'?');
    const QString key = queryAt < 0 ? id : id.left(queryAt);
    const QUrlQuery query(queryAt < 0 ? QString() : id.mid(queryAt + 1));

    const Source source = sourceFor(key);
    if (!source)
        return {};

    const int side = requestedSize.isValid() && !requestedSize.isEmpty()
        ? qMax(requestedSize.width(), requestedSize.height())
        : 128;
    const QImage image = source(QSize(side, side));
    if (image.isNull())
        return {};

    const qreal logicalSide = query.queryItemValue(QStringLiteral("side")).toDouble();
    const qreal logicalRadius = query.queryItemValue(QStringLiteral("radius")).toDouble();
    const qreal radius = logicalSide > 0 ? logicalRadius * side / logicalSide : 0;

    QImage result = roundedIcon(image, side, radius);
    if (size)
        *size = result.size();
    return result;
}

AppIconProvider *AppIconProvider::of(const QObject *object)
{
    QQmlEngine *engine = object ? qmlEngine(object) : nullptr;
    if (!engine)
        return nullptr;
    return dynamic_cast<AppIconProvider *>(engine->imageProvider(QLatin1String(providerId)));
}

QImage roundedIcon(const QImage &image, int side, qreal radius)
{
    QImage result(side, side, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(0, 0, side, side), radius, radius);
        painter.setClipPath(clip);
    }
    painter.drawImage(QRectF(0, 0, side, side), image);
    painter.end();
    return result;
}
