#include "UiFixtures.h"

#include "catalogue/MacAppStore.h"

#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace {
// The data folders too, so the machine's own desktop entries stay out of the catalogue.
const char *const homeVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"};
} // namespace

TemporaryHome::TemporaryHome()
{
    const QString subfolders[] = {QString(), QStringLiteral("/.config"), QStringLiteral("/.cache"),
                                  QStringLiteral("/.local/share"), QStringLiteral("/.system-data")};
    for (int i = 0; i < 5; ++i) {
        m_old[i] = qgetenv(homeVariables[i]);
        QDir().mkpath(m_dir.path() + subfolders[i]);
        qputenv(homeVariables[i], (m_dir.path() + subfolders[i]).toUtf8());
    }
    QDir().mkpath(applications());
}

TemporaryHome::~TemporaryHome()
{
    for (int i = 0; i < 5; ++i) {
        if (m_old[i].isNull())
            qunsetenv(homeVariables[i]);
        else
            qputenv(homeVariables[i], m_old[i]);
    }
}

QImage sampleIcon(const QString &name, int side)
{
    const size_t hash = qHash(name);
    const QColor base = QColor::fromHsv(int(hash % 360), 170, 220);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, base.lighter(130));
    gradient.setColorAt(1, base.darker(140));
    QPainterPath square;
    square.addRoundedRect(QRectF(side * 0.05, side * 0.05, side * 0.9, side * 0.9), side * 0.2,
                          side * 0.2);
    painter.fillPath(square, gradient);
    QFont font;
    font.setPixelSize(int(side * 0.5));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, name.left(1));
    return image;
}

QString makeAppBundle(const QString &root, const QString &name, const QString &bundleID,
                      int iconSide)
{
    const QString bundle = root + QLatin1Char('/') + name + QStringLiteral(".app");
    QDir().mkpath(bundle + QStringLiteral("/Contents/Resources"));
    QString plist = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\"><dict>\n"
        "<key>CFBundleIdentifier</key><string>%1</string>\n"
        "<key>CFBundleName</key><string>%2</string>\n")
                        .arg(bundleID.toHtmlEscaped(), name.toHtmlEscaped());
    if (iconSide > 0) {
        plist += QStringLiteral("<key>CFBundleIconFile</key><string>AppIcon.png</string>\n");
        sampleIcon(name, iconSide).save(bundle + QStringLiteral("/Contents/Resources/AppIcon.png"));
    }
    plist += QStringLiteral("</dict></plist>\n");
    QFile file(bundle + QStringLiteral("/Contents/Info.plist"));
    if (file.open(QIODevice::WriteOnly))
        file.write(plist.toUtf8());
    return bundle;
}

QStringList sampleAppNames(int count)
{
    static const QStringList known = QStringLiteral(
        "Safari,Mail,Calendar,Notes,Music,Photos,Messages,Maps,Terminal,Xcode,Slack,Spotify,"
        "Visual Studio Code,Figma,Notion,Zoom,Discord,Firefox,Google Chrome,Preview,TextEdit,"
        "Calculator,System Settings,Activity Monitor,Keynote,Pages,Numbers,FaceTime,Reminders,"
        "Podcasts,Books,Weather,Clock,Stocks,Home,Shortcuts,Font Book,Automator,iMovie,GarageBand")
                                         .split(QLatin1Char(','));
    QStringList names = known.mid(0, count);
    for (int i = int(names.size()); i < count; ++i)
        names.append(QStringLiteral("Utility %1").arg(i + 1, 3, 10, QLatin1Char('0')));
    return names;
}

void makeCatalogue(const QString &root, int count, int iconSide)
{
    for (const QString &name : sampleAppNames(count)) {
        QString id = name.toLower();
        id.remove(QLatin1Char(' '));
        makeAppBundle(root, name, QStringLiteral("com.example.") + id, iconSide);
    }
}

void toggleApps(MacAppStore &store, const QStringList &names)
{
    for (const QString &name : names) {
        for (const InstalledApp &app : store.allInstalledApps()) {
            if (app.name == name)
                store.toggleSelection(app);
        }
    }
}

bool waitForCatalogue(MacAppStore &store, int timeoutMs)
{
    if (store.allInstalledApps().isEmpty()) {
        QEventLoop loop;
        QObject::connect(&store, &MacAppStore::allInstalledAppsChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !store.allInstalledApps().isEmpty();
}
