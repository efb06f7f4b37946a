#include "ui/TendrilUi.h"

#include "ui/AppIconProvider.h"
#include "ui/QrCodeProvider.h"

#include <QQmlEngine>

void installTendrilUi(QQmlEngine &engine)
{
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.addImageProvider(QLatin1String(AppIconProvider::providerId), new AppIconProvider);
    engine.addImageProvider(QLatin1String(QrCodeProvider::providerId), new QrCodeProvider);
}
