#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QQuickImageProvider>
#include <QString>

#include <functional>

// Serves application icons to QML as "image://appicon/<key>?radius=R&side=S",
// rendered off the main thread at the size asked and clipped to a rounded
// square whose corner radius is R at a side of S. The models register a
// source per key on the main thread; the loader threads only read.
class AppIconProvider : public QQuickImageProvider {
public:
    static constexpr auto providerId = "appicon";
    using Source = std::function<QImage(const QSize &size)>;

    AppIconProvider();

    void setSource(const QString &key, Source source);
    void removeSource(const QString &key);

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

    // The provider installed on `object`'s engine, if any.
    static AppIconProvider *of(const QObject *object);

private:
    Source sourceFor(const QString &key) const;

    mutable QMutex m_mutex;
    QHash<QString, Source> m_sources;
};

// Scales `image` into a square of `side` pixels, corners rounded to `radius`.
QImage roundedIcon(const QImage &image, int side, qreal radius);
