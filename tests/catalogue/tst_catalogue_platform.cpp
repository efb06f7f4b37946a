// Opening bundles, the user defaults and the per-user folders.
#include "CatalogueFixtures.h"

#include "platform/BundleReader.h"
#include "platform/StandardLocations.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

class CataloguePlatformTest : public QObject {
    Q_OBJECT
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
};

QTEST_GUILESS_MAIN(CataloguePlatformTest)
#include "tst_catalogue_platform.moc"
