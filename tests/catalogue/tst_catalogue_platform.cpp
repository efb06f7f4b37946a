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
    void readsInfoPlistInBothFormats_data();
    void readsInfoPlistInBothFormats();
    void bundleWithoutUsableIdentifier();
    void notABundle();
    void malformedBinaryPlistIsSurvived();
    void userDefaultsKeepBytesAcrossInstances();
    void userDefaultsIgnoreMissingKeysAndOtherTypes();
    void locationsFollowHomeAndXdg();
};

void CataloguePlatformTest::readsInfoPlistInBothFormats_data()
{
    QTest::addColumn<PlistFormat>("format");
    QTest::newRow("xml") << PlistFormat::Xml;
    QTest::newRow("binary") << PlistFormat::Binary;
}

void CataloguePlatformTest::readsInfoPlistInBothFormats()
{
    QFETCH(PlistFormat, format);
    QTemporaryDir root;
    const QVariantMap info{
        {"CFBundleIdentifier", "org.example.Viewer"},
        {"CFBundleName", "Viewer & <Co>"},
        {"LSUIElement", true},
        {"CFBundleVersionNumber", 42},
        {"CFBundleDocumentTypes", QVariantList{QVariantMap{{"CFBundleTypeName", "Picture"}}}},
    };
    const QString path = makeBundle(root.path(), "Viewer.app", info, format);

    const std::optional<Bundle> bundle = openBundle(path);
    QVERIFY(bundle);
    QCOMPARE(bundle->path, path);
    QCOMPARE(bundle->bundleIdentifier, std::optional<QString>("org.example.Viewer"));
    const QVariantMap &read = bundle->infoDictionary;
    QCOMPARE(read.value("CFBundleName").toString(), QString("Viewer & <Co>"));
    QCOMPARE(read.value("LSUIElement").metaType().id(), QMetaType::Bool);
    QCOMPARE(read.value("LSUIElement").toBool(), true);
    QCOMPARE(read.value("CFBundleVersionNumber").toLongLong(), 42);
    const QVariantList types = read.value("CFBundleDocumentTypes").toList();
    QCOMPARE(types.size(), 1);
    QCOMPARE(types.first().toMap().value("CFBundleTypeName").toString(), QString("Picture"));
}

void CataloguePlatformTest::bundleWithoutUsableIdentifier()
{
    QTemporaryDir root;
    // A bundle folder without an Info.plist still opens, with no identifier.
    QDir().mkpath(root.filePath("Bare.app/Contents"));
    std::optional<Bundle> bare = openBundle(root.filePath("Bare.app"));
    QVERIFY(bare);
    QVERIFY(!bare->bundleIdentifier);
    QVERIFY(bare->infoDictionary.isEmpty());

    // An identifier that is not a string counts as missing.
    const QString numeric = makeBundle(root.path(), "Numeric.app", {{"CFBundleIdentifier", 7}});
    std::optional<Bundle> bundle = openBundle(numeric);
    QVERIFY(bundle);
    QVERIFY(!bundle->bundleIdentifier);

    // Garbage where the Info.plist should be.
    QDir().mkpath(root.filePath("Broken.app/Contents"));
    QFile garbage(root.filePath("Broken.app/Contents/Info.plist"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("bplist00\xff\xff not really");
    garbage.close();
    bundle = openBundle(root.filePath("Broken.app"));
    QVERIFY(bundle);
    QVERIFY(!bundle->bundleIdentifier);
}

void CataloguePlatformTest::notABundle()
{
    QTemporaryDir root;
    QVERIFY(!openBundle(root.filePath("Missing.app")));
    QFile file(root.filePath("File.app"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!openBundle(file.fileName()));
}

void CataloguePlatformTest::malformedBinaryPlistIsSurvived()
{
    // Mangled keys, one holding a NUL: reading them through the library's
    // getters would abort the process. Such a file is simply no Info.plist.
    const QByteArray crafted = QByteArray::fromBase64(
        "YnBsaXN0MDDTAQMFAgQGXxASQ0ZCdW5kbGVJZGVudGlmaWVyXxAPb3JnLmV4YW1wbGUuYmluXENGQnVuZGwBAAAAZVNC"
        "aW5UTGlz9KQHCAkKEAUJIkAgAABDeHl6CDwzQ0xHJFFTVFkAAFgAAAAAAQEAAAAAAAAACwAAAAAAAAAAAAAAAAAAAF0=");
    QCOMPARE(parseInfoPlist(crafted), QVariantMap());

    QTemporaryDir root;
    QDir().mkpath(root.filePath("Crafted.app/Contents"));
    QFile plist(root.filePath("Crafted.app/Contents/Info.plist"));
    QVERIFY(plist.open(QIODevice::WriteOnly));
    plist.write(crafted);
    plist.close();
    const std::optional<Bundle> bundle = openBundle(root.filePath("Crafted.app"));
    QVERIFY(bundle);
    QVERIFY(!bundle->bundleIdentifier);

    // ASCII strings with an embedded NUL byte are read up to the NUL.
    const QByteArray nul("bplist00\xd1\x01\x02\x53k\0y\x53v\0w\x08\x0b\x0f"
                         "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x03"
                         "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x13", 54);
    QCOMPARE(parseInfoPlist(nul), QVariantMap({{"k", "v"}}));
}

void CataloguePlatformTest::userDefaultsKeepBytesAcrossInstances()
{
    TemporaryHome home;
    const QString key = "tendril.selections.v3";
    const QByteArray blob("[{\"bundleID\":\"a\"}]\0\xff", 21);
    {
        SettingsUserDefaults defaults;
        defaults.setData(key, blob);
    }
    QCOMPARE(SettingsUserDefaults::filePath(), home.path() + "/.config/Tendril/Tendril.conf");
    QVERIFY(QFile::exists(SettingsUserDefaults::filePath()));
    SettingsUserDefaults reopened;
    QCOMPARE(reopened.data(key), std::optional<QByteArray>(blob));
}

void CataloguePlatformTest::userDefaultsIgnoreMissingKeysAndOtherTypes()
{
    TemporaryHome home;
    const QString key = "tendril.selections.v3";
    SettingsUserDefaults defaults;
    QVERIFY(!defaults.data(key));
    {
        QSettings raw(SettingsUserDefaults::filePath(), QSettings::IniFormat);
        raw.setValue(key, QStringLiteral("[]"));
    }
    QVERIFY(!SettingsUserDefaults().data(key));
}

void CataloguePlatformTest::locationsFollowHomeAndXdg()
{
    TemporaryHome home;
    QCOMPARE(StandardLocations::homeDirectory(), home.path());
    QCOMPARE(StandardLocations::cachesDirectory(), home.path() + "/.cache");
    QCOMPARE(StandardLocations::configDirectory(), home.path() + "/.config");

    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config/").toUtf8());
    QCOMPARE(StandardLocations::cachesDirectory(), home.path() + "/cache");
    QCOMPARE(StandardLocations::configDirectory(), home.path() + "/config");

    // Relative values are not valid XDG locations.
    qputenv("XDG_CACHE_HOME", "relative/cache");
    QCOMPARE(StandardLocations::cachesDirectory(), home.path() + "/.cache");
}

QTEST_GUILESS_MAIN(CataloguePlatformTest)
#include "tst_catalogue_platform.moc"
