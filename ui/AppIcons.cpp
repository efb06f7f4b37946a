#include "ui/AppIcons.h"

#include "ui/AppIconProvider.h"

namespace AppIcons {
namespace {

QUrl iconUrl(const QString &key, int side, int radius)
{
    return QUrl(QStringLiteral("image://%1/%2?radius=%3&side=%4")
                    .arg(QLatin1String(AppIconProvider::providerId), key)
                    .arg(radius)
                    .arg(side));
}

} // namespace

bool hasIcon(const InstalledApp &app)
{
    return app.icon.has_value();
}

QUrl installedIconUrl(const InstalledApp &app, AppIconProvider *provider)
{
    if (!provider || !hasIcon(app))
        return {};
    const QString key = QStringLiteral("app/") + app.id.toString(QUuid::WithoutBraces);
    const AppIcon icon = *app.icon; // a shared handle, safe on any thread
    provider->setSource(key, [icon](const QSize &size) { return icon.image(size); });
    return iconUrl(key, 36, 8);
}

static QString selectedIconKey(const QUuid &itemId)
{
    return QStringLiteral("item/") + itemId.toString(QUuid::WithoutBraces);
}

QUrl selectedIconUrl(const QUuid &itemId, const QImage &image, AppIconProvider *provider)
{
    if (!provider || image.isNull())
        return {};
    const QString key = selectedIconKey(itemId);
    provider->setSource(key, [image](const QSize &) { return image; });
    return iconUrl(key, 38, 10);
}

void forgetSelectedIcon(const QUuid &itemId, AppIconProvider *provider)
{
    if (provider)
        provider->removeSource(selectedIconKey(itemId));
}

} // namespace AppIcons
