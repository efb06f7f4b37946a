// Desktop entries and themed icons in the catalogue, over a desktop tree made
// here, and their icons on a phone.
#include "CatalogueFixtures.h"
#include "DesktopFixtures.h"
#include "tests/server/ServerFixture.h"
#include "tests/server/TestPhone.h"

#include "catalogue/DesktopApps.h"
#include "catalogue/IconCache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTest>

#include <sys/stat.h>

namespace {

void savePng(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    image.save(path);
}

QImage decodePng(const QByteArray &png)
{
    QBuffer buffer;
    buffer.setData(png);
    return QImageReader(&buffer, "png").read();
}

InstalledApp record(const QString &id, const QString &name)
{
    return {QUuid::createUuid(), id, name, AppIcon(), "/apps/" + id};
}

QStringList names(const QList<InstalledApp> &apps)
{
    QStringList result;
    for (const InstalledApp &app : apps)
        result.append(app.name);
    return result;
}

} // namespace

class DesktopEntriesTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString local, sys1, sys2;
    std::unique_ptr<MacAppStore> store;

    const InstalledApp *find(const QString &id) const
    {
        for (const InstalledApp &app : store->allInstalledApps())
            if (app.bundleID == id)
                return &app;
        return nullptr;
    }

    void makeTree()
    {
        const QString apps = local + "/applications", apps1 = sys1 + "/applications", apps2 = sys2 + "/applications";
        writeDesktopEntry(apps, "org.test.Local.desktop", "Name=Local\nName[de]=Lokal\nIcon=svgicon");
        writeDesktopEntry(apps, "kde4/kate.desktop", "Name=Kate\nName[de]=Kate de\nName[de_DE]=Kate DE\nIcon=pngicon");
        writeDesktopEntry(apps, "org.test.Twice.desktop", "Name=Twice Home");
        writeDesktopEntry(apps1, "org.test.Twice.desktop", "Name=Twice System");
        writeDesktopEntry(apps, "org.test.Masked.desktop", "Name=Masked\nHidden=true");
        writeDesktopEntry(apps1, "org.test.Masked.desktop", "Name=Masked");
        writeDesktopEntry(apps, "org.test.Escaped.desktop", "Name=Tab\\sSpace\nIcon=pngicon.png");
        writeDesktopEntry(apps, "org.test.Only.desktop", "Name=Only\nOnlyShowIn=KDE;\nIcon=inherited");
        writeDesktopEntry(apps1, "org.test.NoDisplay.desktop", "Name=N\nNoDisplay=true");
        writeDesktopEntry(apps1, "org.test.Gnome.desktop", "Name=G\nOnlyShowIn=GNOME;");
        writeDesktopEntry(apps1, "org.test.NotKde.desktop", "Name=K\nNotShowIn=KDE;");
        writeDesktopEntry(apps1, "org.test.TryMissing.desktop", "Name=T\nTryExec=/nonexistent/program");
        writeDesktopEntry(apps1, "org.test.TryShell.desktop", "Name=Shell\nTryExec=sh\nIcon=pixonly");
        writeFile(apps1 + "/org.test.Link.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=file:///\n");
        writeFile(apps1 + "/org.test.Garbage.desktop", QByteArray("\x00\xff[Desktop\n=\x01", 14));
        writeDesktopEntry(apps1, "org.test.Huge.desktop", "Name=Huge\nX-Pad=" + QString(10 << 20, 'x'));
        QFile::link(root.filePath("nowhere"), apps1 + "/org.test.Dangling.desktop");
        QDir().mkpath(apps1 + "/org.test.Dir.desktop");
        writeDesktopEntry(apps1, "org.test.Abs.desktop", "Name=Abs\nIcon=" + root.filePath("abs.png"));
        writeDesktopEntry(apps1, "org.test.NotImage.desktop", "Name=NI\nIcon=" + root.filePath("notimage.png"));
        writeDesktopEntry(apps1, "org.test.Fifo.desktop", "Name=Fifo\nIcon=" + root.filePath("fifo"));
        writeDesktopEntry(apps1, "org.test.Climb.desktop", "Name=Climb\nIcon=../icons/hicolor/128x128/apps/pngicon");
        writeDesktopEntry(apps1, "org.test.Missing.desktop", "Name=Missing\nIcon=nothing-here");
        writeDesktopEntry(apps1, "..desktop", "Name=Dot\nIcon=pngicon");
        writeDesktopEntry(apps1, QString(4, 'd').replace("d", QString(70, 'n') + '/') + "long.desktop",
                          "Name=Long\nIcon=pngicon");
        writeDesktopEntry(apps2, "org.test.Files.desktop", "Name=Files\nIcon=svgicon\nMimeType=inode/directory;");
        writeFile(root.filePath("home/.config/mimeapps.list"),
                  "[Default Applications]\ninode/directory=org.test.Files.desktop\n");

        writeFile(root.filePath("home/.config/kdeglobals"), "[Icons]\nTheme=Test\n");
        writeIconTheme(local + "/icons", "Test", "Parent,hicolor", {{"scalable/apps", "Scalable", 48}});
        writeIconTheme(sys2 + "/icons", "Parent", "", {{"32x32/apps", "Fixed", 32}});
        writeIconTheme(sys1 + "/icons", "hicolor", "", {{"48x48/apps", "Threshold", 48}, {"128x128/apps", "Fixed", 128}});
        writeFile(local + "/icons/Test/scalable/apps/svgicon.svg", solidSvg(Qt::blue));
        savePng(solidImage(128, Qt::red), sys1 + "/icons/hicolor/128x128/apps/svgicon.png");
        savePng(solidImage(48, Qt::red), sys1 + "/icons/hicolor/48x48/apps/pngicon.png");
        savePng(solidImage(128, Qt::green), sys1 + "/icons/hicolor/128x128/apps/pngicon.png");
        savePng(solidImage(32, Qt::yellow), sys2 + "/icons/Parent/32x32/apps/inherited.png");
        savePng(solidImage(64, Qt::magenta), sys2 + "/pixmaps/pixonly.png");
        savePng(solidImage(64, Qt::cyan), root.filePath("abs.png"));
        writeFile(root.filePath("notimage.png"), "not an image");
        mkfifo(QFile::encodeName(root.filePath("fifo")).constData(), 0600);
    }

private slots:
    void initTestCase()
    {
        // GLib reads these once, at its first call: they are set before anything asks.
        local = root.filePath("home/.local/share");
        sys1 = root.filePath("sys1");
        sys2 = root.filePath("sys2");
        qputenv("HOME", root.filePath("home").toUtf8());
        qputenv("XDG_DATA_HOME", local.toUtf8());
        qputenv("XDG_DATA_DIRS", (sys1 + ':' + sys2).toUtf8());
        qputenv("XDG_CONFIG_HOME", root.filePath("home/.config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", root.filePath("etc").toUtf8());
        qputenv("XDG_CACHE_HOME", root.filePath("home/.cache").toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        qputenv("LANGUAGE", "de_DE");
        makeTree();
        store = std::make_unique<MacAppStore>();
        QTRY_VERIFY(!store->allInstalledApps().isEmpty());
    }

    void menuRules()
    {
        const QString apps = local + "/applications/", apps1 = sys1 + "/applications/";
        const struct { QString id, name, path; } shown[] = {
            {"org.test.Local", "Lokal", apps + "org.test.Local.desktop"},
            {"kde4-kate", "Kate DE", apps + "kde4/kate.desktop"},
            {"org.test.Twice", "Twice Home", apps + "org.test.Twice.desktop"},
            {"org.test.Escaped", "Tab Space", apps + "org.test.Escaped.desktop"},
            {"org.test.Only", "Only", apps + "org.test.Only.desktop"},
            {"org.test.TryShell", "Shell", apps1 + "org.test.TryShell.desktop"},
            {".", "Dot", apps1 + "..desktop"},
        };
        for (const auto &[id, name, path] : shown) {
            QVERIFY2(find(id), qPrintable(id));
            QCOMPARE(find(id)->name, name);
            QCOMPARE(find(id)->path, path);
        }
        for (const char *id : {"org.test.Masked", "org.test.NoDisplay", "org.test.Gnome", "org.test.NotKde",
                               "org.test.TryMissing", "org.test.Link", "org.test.Garbage", "org.test.Huge",
                               "org.test.Dangling", "org.test.Dir"})
            QVERIFY2(!find(id), id);
        QCOMPARE(DesktopApps::entryFolders(),
                 QStringList({local + "/applications", sys1 + "/applications", sys2 + "/applications"}));
    }

    void themedIconsAt128()
    {
        const QByteArray generic = *IconCache::renderPng(AppIcon());
        const struct { QString id; QColor colour; } cases[] = {
            {"org.test.Local", Qt::blue},    {"kde4-kate", Qt::green},      {"org.test.Escaped", Qt::green},
            {"org.test.Only", Qt::yellow},   {"org.test.TryShell", Qt::magenta}, {"org.test.Abs", Qt::cyan},
            {"org.test.NotImage", {}},       {"org.test.Fifo", {}},         {"org.test.Climb", {}},
            {"org.test.Missing", {}},
        };
        for (const auto &[id, colour] : cases) {
            QVERIFY2(find(id) && find(id)->icon, qPrintable(id));
            const std::optional<QByteArray> png = store->pngIconData(*find(id));
            QVERIFY2(png, qPrintable(id));
            const QImage image = decodePng(*png);
            QCOMPARE(image.size(), QSize(128, 128));
            if (colour.isValid())
                QCOMPARE(image.pixelColor(64, 64), colour);
            else
                QVERIFY2(*png == generic, qPrintable(id));
        }
    }

    void unnameableIdentifiersRenderWithoutCacheFiles()
    {
        const QString longId = QString(4, 'd').replace("d", QString(70, 'n') + '-') + "long";
        for (const QString &id : {QString("."), longId}) {
            QVERIFY2(find(id), qPrintable(id));
            const std::optional<QByteArray> png = store->pngIconData(*find(id));
            QVERIFY(png && decodePng(*png).pixelColor(64, 64) == QColor(Qt::green));
        }
        QStringList cached = QDir(store->iconCacheDirectory()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(!cached.contains(".png") && !cached.contains(longId + ".png"));
        QVERIFY(!QFile::exists(root.filePath("home/.cache/.png")));
    }

    void fileManagerFirstAndOnce()
    {
        QCOMPARE(store->allInstalledApps().first().bundleID, QString("org.test.Files"));
        QCOMPARE(store->allInstalledApps().first().name, QString("Files"));
        QCOMPARE(names(store->allInstalledApps()).count("Files"), 1);

        const QList<InstalledApp> bundles{record("com.apple.finder", "Finder"), record("a.ant", "Ant")};
        const QList<InstalledApp> menu{record("z.zed", "Zed"), record("a.ant", "Ant entry"), record("o.files", "Files")};
        const struct { bool finderInstalled; bool fileManager; QStringList expected; } cases[] = {
            {true, true, {"Finder", "Ant", "Files", "Zed"}},
            {false, true, {"Files", "Ant", "Zed"}},
            {false, false, {"Finder", "Ant", "Files", "Zed"}},
        };
        for (const auto &[installed, hasFileManager, expected] : cases) {
            const auto fileManager = hasFileManager ? std::optional(menu.last()) : std::nullopt;
            QCOMPARE(names(DesktopApps::merge(bundles, installed, menu, fileManager)), expected);
        }
    }

    void phoneReceivesThemedIcons()
    {
        FakePlatform fake;
        for (const char *id : {"org.test.Local", "kde4-kate"})
            store->toggleSelection(*find(id));
        MacServerService server(*store, &fake.platform);
        const quint16 port = freePort();
        server.setListeningPort(port);
        server.setRandomWordSource([] { return wordFor(1234); });
        server.startListening();
        QTRY_COMPARE(server.serverState(), ServerState::advertising);
        TestPhone phone(port);
        QVERIFY(phone.waitConnected() && phone.waitFor(1));
        phone.take(); // macHello
        phone.send(td::IPhoneHello{server.pin()});
        QVERIFY(phone.waitFor(2));
        phone.take(); // pairingConfirmed
        const TDMessage message = phone.take();
        const auto *list = message.get<td::AppListUpdate>();
        QVERIFY(list && list->apps.size() == 2);
        const QColor colours[] = {Qt::blue, Qt::green};
        for (int i = 0; i < 2; ++i) {
            const QImage icon = decodePng(list->apps.at(i).iconData.value_or(QByteArray()));
            QCOMPARE(icon.size(), QSize(128, 128));
            QCOMPARE(icon.pixelColor(64, 64), colours[i]);
        }
        QCOMPARE(list->apps.at(1).bundleIdentifier, QString("kde4-kate"));
    }
};

QTEST_MAIN(DesktopEntriesTest)
#include "tst_desktop_entries.moc"
