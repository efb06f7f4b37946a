#include "UiFixtures.h"

#include "catalogue/MacAppStore.h"

#include <QPainter>
#include <QTest>
#include "tests/TestTime.h"

QImage sampleIcon(const QString &name, int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(int(qHash(name) % 360), 170, 220));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(side * 0.05, side * 0.05, side * 0.9, side * 0.9), side * 0.2, side * 0.2);
    QFont font;
    font.setPixelSize(side / 2);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, name.left(1));
    return image;
}

QString makeAppBundle(const QString &root, const QString &name, const QString &bundleID, int iconSide)
{
    QVariantMap info{{"CFBundleIdentifier", bundleID}, {"CFBundleName", name}};
    if (iconSide > 0)
        info.insert("CFBundleIconFile", "AppIcon.png");
    const QString bundle = makeBundle(root, name + ".app", info);
    if (iconSide > 0)
        sampleIcon(name, iconSide).save(bundle + "/Contents/Resources/AppIcon.png");
    return bundle;
}

void makeCatalogue(const QString &root, int count, int iconSide)
{
    QStringList names = QStringLiteral(
        "Safari,Mail,Calendar,Notes,Music,Photos,Messages,Maps,Terminal,Xcode,Slack,Spotify,"
        "Visual Studio Code,Figma,Notion,Zoom,Discord,Firefox,Google Chrome,Preview,TextEdit,"
        "Calculator,System Settings,Activity Monitor,Keynote,Pages,Numbers,FaceTime,Reminders,"
        "Podcasts,Books,Weather,Clock,Stocks,Home,Shortcuts,Font Book,Automator,iMovie,GarageBand")
                            .split(',').mid(0, count);
    for (int i = int(names.size()); i < count; ++i)
        names.append(QStringLiteral("Utility %1").arg(i + 1, 3, 10, QLatin1Char('0')));
    for (const QString &name : names)
        makeAppBundle(root, name, "com.example." + name.toLower().remove(' '), iconSide);
}

void toggleApps(MacAppStore &store, const QStringList &names)
{
    for (const QString &name : names)
        for (const InstalledApp &app : store.allInstalledApps())
            if (app.name == name)
                store.toggleSelection(app);
}

bool waitForCatalogue(MacAppStore &store, int timeoutMs)
{
    return QTest::qWaitFor([&] { return !store.allInstalledApps().isEmpty(); }, scaledMs(timeoutMs));
}
