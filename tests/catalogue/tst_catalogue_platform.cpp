// Opening bundles, reading and rendering their icons, the user defaults and
// the per-user folders.
#include "CatalogueFixtures.h"

#include "catalogue/AppIcon.h"
#include "catalogue/IconCache.h"
#include "platform/bundles/BundleReader.h"
#include "platform/StandardLocations.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <thread>

namespace {
QColor centre(const QImage &image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
} // namespace

class CataloguePlatformTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void readsInfoPlistInBothFormats()
    {
        for (const PlistFormat format : {PlistFormat::Xml, PlistFormat::Binary}) {
            QTemporaryDir root;
            const QString path = makeBundle(root.path(), "Viewer.app", {
                {"CFBundleIdentifier", "org.example.Viewer"}, {"CFBundleName", "Viewer & <Co>"}, {"LSUIElement", true},
                {"CFBundleVersionNumber", 42}, {"Types", QVariantList{QVariantMap{{"Name", "Picture"}}}}}, format);
            const std::optional<Bundle> bundle = openBundle(path);
            QVERIFY(bundle);
            QCOMPARE(bundle->path, path);
            QCOMPARE(bundle->bundleIdentifier, std::optional<QString>("org.example.Viewer"));
            const QVariantMap &read = bundle->infoDictionary;
            QCOMPARE(read.value("CFBundleName").toString(), QString("Viewer & <Co>"));
            QCOMPARE(read.value("LSUIElement"), QVariant(true));
            QCOMPARE(read.value("CFBundleVersionNumber").toLongLong(), 42);
            QCOMPARE(read.value("Types").toList().value(0).toMap().value("Name").toString(), QString("Picture"));
        }
    }

    void bundlesWithoutUsableIdentifier()
    {
        QTemporaryDir root;
        QVERIFY(!openBundle(root.filePath("Missing.app")));
        QVERIFY(QFile(root.filePath("File.app")).open(QIODevice::WriteOnly));
        QVERIFY(!openBundle(root.filePath("File.app")));
        // A folder without an Info.plist opens, with no identifier; nor is a number one.
        QDir().mkpath(root.filePath("Bare.app/Contents"));
        const std::optional<Bundle> bare = openBundle(root.filePath("Bare.app"));
        QVERIFY(bare && !bare->bundleIdentifier && bare->infoDictionary.isEmpty());
        const std::optional<Bundle> numeric = openBundle(makeBundle(root.path(), "Numeric.app", {{"CFBundleIdentifier", 7}}));
        QVERIFY(numeric && !numeric->bundleIdentifier);

        // Garbage, and mangled keys, one holding a NUL: reading them through the
        // library's getters would abort the process. Such a file is no Info.plist.
        const QByteArray crafted = QByteArray::fromBase64(
            "YnBsaXN0MDDTAQMFAgQGXxASQ0ZCdW5kbGVJZGVudGlmaWVyXxAPb3JnLmV4YW1wbGUuYmluXENGQnVuZGwBAAAAZVNC"
            "aW5UTGlz9KQHCAkKEAUJIkAgAABDeHl6CDwzQ0xHJFFTVFkAAFgAAAAAAQEAAAAAAAAACwAAAAAAAAAAAAAAAAAAAF0=");
        QCOMPARE(parseInfoPlist(crafted), QVariantMap());
        for (const QByteArray &bytes : {QByteArray("bplist00\xff\xff not really"), crafted}) {
            const QString bundle = makeBundle(root.path(), "Broken.app", {});
            QFile plist(bundle + "/Contents/Info.plist");
            QVERIFY(plist.open(QIODevice::WriteOnly) && plist.write(bytes) == bytes.size());
            plist.close();
            const std::optional<Bundle> broken = openBundle(bundle);
            QVERIFY(broken && !broken->bundleIdentifier);
        }
        // ASCII strings with an embedded NUL byte are read up to the NUL.
        const QByteArray nul("bplist00\xd1\x01\x02\x53k\0y\x53v\0w\x08\x0b\x0f"
                             "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x03"
                             "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x13", 54);
        QCOMPARE(parseInfoPlist(nul), QVariantMap({{"k", "v"}}));
    }

    void userDefaultsKeepBytesAcrossInstances()
    {
        TemporaryHome home;
        const QByteArray blob("[{\"bundleID\":\"a\"}]\0\xff", 21);
        QVERIFY(!SettingsUserDefaults().data("k"));
        SettingsUserDefaults().setData("k", blob);
        QCOMPARE(SettingsUserDefaults::filePath(), home.path() + "/.config/Tendril/Tendril.conf");
        QCOMPARE(SettingsUserDefaults().data("k"), std::optional<QByteArray>(blob));
        // A value of another type is no data.
        QSettings(SettingsUserDefaults::filePath(), QSettings::IniFormat).setValue("k", QStringLiteral("[]"));
        QVERIFY(!SettingsUserDefaults().data("k"));
    }

    // XDG folders when absolute, else under the home.
    void locationsFollowHomeAndXdg()
    {
        TemporaryHome home;
        QCOMPARE(StandardLocations::homeDirectory(), home.path());
        QCOMPARE(StandardLocations::cachesDirectory(), home.path() + "/.cache");
        QCOMPARE(StandardLocations::configDirectory(), home.path() + "/.config");
        qputenv("XDG_CACHE_HOME", "relative/cache");
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config/").toUtf8());
        QCOMPARE(StandardLocations::cachesDirectory(), home.path() + "/.cache");
        QCOMPARE(StandardLocations::configDirectory(), home.path() + "/config");
    }
    // Each size has its own colour, so the image drawn tells which was chosen.
    void picksTheNearestImageFromManyThreads()
    {
        const QString path = dir.filePath("AppIcon.icns");
        QVERIFY(writeIcns(path, {solidImage(1024, Qt::blue), solidImage(16, Qt::red), solidImage(128, Qt::green)}));
        const AppIcon icon = AppIcon::fromFile(path);
        const QList<std::pair<int, QColor>> cases = {{8, Qt::red}, {16, Qt::red}, {72, Qt::green} /* row at 2x */,
                                                     {128, Qt::green}, {200, Qt::blue}, {2048, Qt::blue}};
        for (const auto &[side, colour] : cases) {
            QCOMPARE(icon.image(QSize(side, side)).size(), QSize(side, side));
            QCOMPARE(centre(icon.image(QSize(side, side))), colour);
        }
        // Copies share the handle, drawn from many threads at once.
        const AppIcon copy = icon;
        std::atomic<int> wrong = 0;
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&, i] {
                for (const int side : {72, 300, 72, 300})
                    wrong += centre((i % 2 ? icon : copy).image(QSize(side, side))) != QColor(side == 72 ? Qt::green : Qt::blue);
            });
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(wrong.load(), 0);
    }

    void singleImageFilesAreScaled()
    {
        const QString path = dir.filePath("Logo.png");
        QVERIFY(solidImage(300, Qt::magenta).save(path));
        const QImage wide = AppIcon::fromFile(path).image(QSize(80, 40));
        QCOMPARE(wide.size(), QSize(80, 40));
        QCOMPARE(centre(wide), QColor(Qt::magenta));
    }

    // Drawn, not blank: the corners are clear and the middle is not.
    void unreadableFilesDrawTheGenericIcon()
    {
        QFile junk(dir.filePath("Junk.icns"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("icns\0\0\0\x10garbage!", 16) == 16);
        junk.close();
        const QImage generic = genericAppIconImage(QSize(64, 64));
        QCOMPARE(generic.pixelColor(0, 0).alpha(), 0);
        QVERIFY(centre(generic).alpha() > 0);
        QCOMPARE(AppIcon().image(QSize(64, 64)), generic);
        QCOMPARE(AppIcon::fromFile(junk.fileName()).image(QSize(64, 64)), generic);
        QCOMPARE(AppIcon::fromFile(dir.filePath("Missing.icns")).image(QSize(64, 64)), generic);
    }

    // The icon fills the 128-pixel square, corner to corner.
    void rendersA128PixelPng()
    {
        const QString path = dir.filePath("Green.icns");
        QVERIFY(writeIcns(path, {solidImage(1024, QColor(10, 200, 30))}));
        const QByteArray png = IconCache::renderPng(AppIcon::fromFile(path)).value_or("");
        QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage decoded = QImage::fromData(png, "PNG");
        QCOMPARE(decoded.size(), QSize(128, 128));
        QCOMPARE(decoded.pixelColor(0, 0), QColor(10, 200, 30));
        QCOMPARE(decoded.pixelColor(127, 127), QColor(10, 200, 30));
    }
};

QTEST_GUILESS_MAIN(CataloguePlatformTest)
#include "tst_catalogue_platform.moc"
