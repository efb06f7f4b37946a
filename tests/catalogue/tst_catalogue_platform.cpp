// Opening bundles, reading and rendering their icons, the user defaults, the
// per-user folders and the grid selection kept with them; and files someone
// else put in place: property-list bombs, special files, stale locks, links in
// the icon cache, an oversized stored selection.
#include "CatalogueFixtures.h"
#include "DesktopFixtures.h"
#include "tests/TestTime.h"

#include "catalogue/AppIcon.h"
#include "catalogue/IconCache.h"
#include "catalogue/MacAppStore.h"
#include "platform/bundles/BundleReader.h"
#include "platform/bundles/PlistBounds.h"
#include "platform/files/StandardLocations.h"
#include "platform/files/SettingsUserDefaults.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using PlistBounds::Verdict;

namespace {

const QString key = QStringLiteral("tendril.selections.v3");

// The process's peak resident size, and the CPU time of the calling thread,
// not the clock on the wall.
struct Cost { long peakKb; double cpuMs; };
Cost cost()
{
    rusage self {}, thread {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_THREAD, &thread);
    return {self.ru_maxrss, (thread.ru_utime.tv_sec + thread.ru_stime.tv_sec) * 1e3 + (thread.ru_utime.tv_usec + thread.ru_stime.tv_usec) / 1e3};
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A blue square and `count` small shapes over it in a 2-unit grid.
QByteArray manyShapesSvg(int count, const char *shape)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 400 400\">"
                     "<rect width=\"400\" height=\"400\" fill=\"#0000ff\"/>";
    for (int i = 0; i < count; ++i)
        svg += QString("<%1 d=\"M%2 %3h2v2h-2z\" x=\"%2\" y=\"%3\" width=\"2\" height=\"2\" fill=\"#0000ff\"/>")
                   .arg(shape).arg(i % 200 * 2).arg(i / 200 % 200 * 2).toUtf8();
    return svg + "</svg>";
}


InstalledApp app(const QString &bundleID, std::optional<AppIcon> icon = AppIcon())
{
    return {QUuid::createUuid(), bundleID, bundleID.section('.', -1).toUpper(), icon, "/Applications/" + bundleID + ".app"};
}

std::optional<QByteArray> stored() { return SettingsUserDefaults().data(key); }

// "identifier@gridIndex …" for the items in order, and for the stored array.
QString layout(const QList<AppItem> &items)
{
    QStringList parts;
    for (const AppItem &item : items)
        parts.append(QString("%1@%2").arg(item.bundleIdentifier).arg(item.gridIndex));
    return parts.join(' ');
}

QString storedLayout()
{
    QStringList parts;
    for (const AppSelection &selection : decodeAppSelections(stored().value_or("")).value_or(QList<AppSelection>()))
        parts.append(QString("%1@%2").arg(selection.bundleID).arg(selection.gridIndex));
    return parts.join(' ');
}

QString iconDirectory() { return StandardLocations::cachesDirectory() + "/TendrilIcons"; }

void select(MacAppStore &store, const QStringList &ids)
{
    for (const QString &id : ids)
        store.toggleSelection(app(id));
}

} // namespace

class CataloguePlatformTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TemporaryHome> m_home;

private slots:
    void init() { m_home = std::make_unique<TemporaryHome>(); }
    void cleanup()
    {
        QThreadPool::globalInstance()->waitForDone(); // scans finish inside their home
        m_home.reset();
    }

    void readsInfoPlistInBothFormats()
    {
        const QVariantMap info{{"CFBundleIdentifier", "org.example.Viewer"}, {"CFBundleName", "Viewer & <Co>"},
                               {"LSUIElement", true}, {"CFBundleVersionNumber", 42},
                               {"Types", QVariantList{QVariantMap{{"Name", "Picture"}}}}};
        for (const PlistFormat format : {PlistFormat::Xml, PlistFormat::Binary}) {
            const QString path = makeBundle(dir.filePath(QString::number(int(format))), "Viewer.app", info, format);
            const std::optional<Bundle> bundle = openBundle(path);
            QVERIFY(bundle && bundle->path == path);
            QCOMPARE(bundle->bundleIdentifier, std::optional<QString>("org.example.Viewer"));
            QCOMPARE(bundle->infoDictionary, info);
        }
    }

    void bundlesWithoutUsableIdentifier()
    {
        QVERIFY(!openBundle(dir.filePath("Missing.app")));
        QVERIFY(writeFile(dir.filePath("File.app"), {}) && !openBundle(dir.filePath("File.app")));
        // A folder without an Info.plist opens, with no identifier; nor is a number one.
        QDir().mkpath(dir.filePath("Bare.app/Contents"));
        const std::optional<Bundle> bare = openBundle(dir.filePath("Bare.app"));
        QVERIFY(bare && !bare->bundleIdentifier && bare->infoDictionary.isEmpty());
        const std::optional<Bundle> numeric = openBundle(makeBundle(dir.path(), "Numeric.app", {{"CFBundleIdentifier", 7}}));
        QVERIFY(numeric && !numeric->bundleIdentifier);
    }

    // XDG folders when absolute, else under the home.
    void locationsFollowHomeAndXdg()
    {
        QCOMPARE(SettingsUserDefaults::filePath(), m_home->path() + "/.config/Tendril/Tendril.conf");
        // A stored value of another type is no data.
        QSettings(SettingsUserDefaults::filePath(), QSettings::IniFormat).setValue("k", QStringLiteral("[]"));
        QVERIFY(!SettingsUserDefaults().data("k"));
        qputenv("XDG_CACHE_HOME", "relative/cache");
        qputenv("XDG_CONFIG_HOME", (m_home->path() + "/config/").toUtf8());
        QCOMPARE(StandardLocations::cachesDirectory(), m_home->path() + "/.cache");
        QCOMPARE(StandardLocations::configDirectory(), m_home->path() + "/config");
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
        std::vector<std::jthread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&, i] {
                for (const int side : {72, 300, 72, 300})
                    wrong += centre((i % 2 ? icon : copy).image(QSize(side, side))) != QColor(side == 72 ? Qt::green : Qt::blue);
            });
        threads.clear(); // joins them
        QCOMPARE(wrong.load(), 0);
        // A single image is scaled to any shape.
        QVERIFY(solidImage(300, Qt::magenta).save(dir.filePath("Logo.png")));
        const QImage wide = AppIcon::fromFile(dir.filePath("Logo.png")).image(QSize(80, 40));
        QCOMPARE(wide.size(), QSize(80, 40));
        QCOMPARE(centre(wide), QColor(Qt::magenta));
    }

    // Drawn, not blank: the corners are clear and the middle is not.
    void unreadableFilesDrawTheGenericIcon()
    {
        QVERIFY(writeFile(dir.filePath("Junk.icns"), QByteArray("icns\0\0\0\x10garbage!", 16)));
        const QImage generic = genericAppIconImage(QSize(64, 64));
        QCOMPARE(generic.pixelColor(0, 0).alpha(), 0);
        QVERIFY(centre(generic).alpha() > 0);
        for (const AppIcon &icon : {AppIcon(), AppIcon::fromFile(dir.filePath("Junk.icns")), AppIcon::fromFile(dir.filePath("Missing.icns"))})
            QCOMPARE(icon.image(QSize(64, 64)), generic);
    }

    // Bounds checked before decoding: a drawing over 2 MB or of too many
    // elements, a raster image declaring a side over 4096 pixels. Each costs
    // the drawing thread little time and memory, whatever it holds.
    void iconsOverTheirBoundsDrawTheGenericIcon_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QColor>("drawn"); // invalid: the generic icon
        const auto png = [](int width, int height) { return pngBytes(solidImage(1, Qt::green).scaled(width, height)); };
        QTest::newRow("svg") << solidSvg(Qt::blue) << "svg" << QColor(Qt::blue);
        QTest::newRow("svg of 1,500 paths") << manyShapesSvg(1500, "path") << "svg" << QColor(Qt::blue);
        QTest::newRow("svg of 20,000 paths, under 2 MB") << manyShapesSvg(20000, "path") << "svg" << QColor();
        QTest::newRow("svg padded over 2 MB")
            << solidSvg(Qt::blue).replace("</svg>", "<!--" + QByteArray(2 << 20, 'x') + "--></svg>") << "svg" << QColor();
        QTest::newRow("png 4096 wide") << png(4096, 8) << "png" << QColor(Qt::green);
        QTest::newRow("png 4097 high") << png(8, 4097) << "png" << QColor();
        QImage oneBit(20000, 20000, QImage::Format_Mono); // small on disk, huge once drawn
        oneBit.fill(0);
        QTest::newRow("png 20,000 x 20,000, one bit") << pngBytes(oneBit) << "png" << QColor();
    }

    void iconsOverTheirBoundsDrawTheGenericIcon()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, suffix);
        QFETCH(QColor, drawn);
        const QString path = dir.filePath("bounded." + suffix);
        QVERIFY(writeFile(path, bytes));
        const Cost before = cost();
        const QImage image = AppIcon::fromFile(path).image(QSize(128, 128));
        const Cost after = cost();
        if (drawn.isValid())
            QCOMPARE(centre(image), drawn);
        else
            QCOMPARE(image, genericAppIconImage(QSize(128, 128)));
        // Unbounded, 100,000 paths took 20 s and the one-bit PNG 600 MB.
        QVERIFY2(after.cpuMs - before.cpuMs < 500, qPrintable(QString::number(after.cpuMs - before.cpuMs)));
        QVERIFY2(after.peakKb - before.peakKb < 64 * 1024, qPrintable(QString::number(after.peakKb - before.peakKb)));
    }

    // Bombs are refused before parsing. Garbage, and mangled keys, one holding
    // a NUL: reading them through the library's getters would abort the
    // process. Neither gives an identifier.
    void hostilePropertyListsGiveNoIdentifier_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QVariantMap>("parsed");
        // The fuzz target's seeds: 200 deep, and 2^24 strings once expanded.
        QTest::newRow("deep xml") << readFile(CORPUS "/deep.xml") << Verdict::tooDeep << QVariantMap();
        QTest::newRow("deep binary") << readFile(CORPUS "/deep.bplist") << Verdict::tooDeep << QVariantMap();
        QTest::newRow("shared references") << readFile(CORPUS "/bomb.bplist") << Verdict::tooManyObjects << QVariantMap();
        QTest::newRow("over 1 MB") << QByteArray(PlistBounds::maxBytes + 1, ' ') << Verdict::tooLarge << QVariantMap();
        QTest::newRow("garbage") << QByteArray("bplist00\xff\xff not really") << Verdict::malformed << QVariantMap();
        QTest::newRow("mangled keys") << QByteArray::fromBase64(
            "YnBsaXN0MDDTAQMFAgQGXxASQ0ZCdW5kbGVJZGVudGlmaWVyXxAPb3JnLmV4YW1wbGUuYmluXENGQnVuZGwBAAAAZVNC"
            "aW5UTGlz9KQHCAkKEAUJIkAgAABDeHl6CDwzQ0xHJFFTVFkAAFgAAAAAAQEAAAAAAAAACwAAAAAAAAAAAAAAAAAAAF0=")
                                      << Verdict::fits << QVariantMap();
        // ASCII strings with an embedded NUL byte are read up to the NUL.
        QTest::newRow("NUL in strings") << QByteArray("bplist00\xd1\x01\x02\x53k\0y\x53v\0w\x08\x0b\x0f"
                                                      "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x03"
                                                      "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x13", 54)
                                        << Verdict::fits << QVariantMap({{"k", "v"}});
    }

    void hostilePropertyListsGiveNoIdentifier()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Verdict, verdict);
        QFETCH(QVariantMap, parsed);
        const long before = cost().peakKb;
        QCOMPARE(PlistBounds::check(bytes), verdict);
        QCOMPARE(parseInfoPlist(bytes), parsed);
        const QString bundle = makeBundle(dir.path(), "Hostile.app", {});
        QVERIFY(writeFile(bundle + "/Contents/Info.plist", bytes));
        const std::optional<Bundle> opened = openBundle(bundle);
        QVERIFY(opened && !opened->bundleIdentifier);
        const long grownKb = cost().peakKb - before;
        QVERIFY2(grownKb < 32 * 1024, QByteArray::number(qlonglong(grownKb)));
    }

    void specialFilesAreReadAsAbsent()
    {
        const QString bundle = makeBundle(m_home->path(), "Fifo.app", {});
        const QString settings = SettingsUserDefaults::filePath();
        const QString icon = m_home->path() + "/.cache/TendrilIcons/com.example.fifo.png";
        QVERIFY(writeFile(settings, {}) && writeFile(icon, {})); // their folders
        for (const QString &path : {bundle + "/Contents/Info.plist", settings, icon})
            QVERIFY(QFile::remove(path) && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        QVERIFY(!openBundle(bundle)->bundleIdentifier);
        QVERIFY(!IconCache::read("com.example.fifo"));
        QCOMPARE(AppIcon::fromFile(icon).image(QSize(16, 16)), genericAppIconImage(QSize(16, 16)));
        SettingsUserDefaults defaults;
        QVERIFY(!defaults.data(key));
        // Kept, not written into the FIFO nor over it.
        defaults.setData(key, "[]");
        QCOMPARE(defaults.data(key), std::optional<QByteArray>("[]"));
        QVERIFY(defaults.hasUnsavedValues());
        QVERIFY(QFileInfo(settings).isFile() == false && QFileInfo::exists(settings));
    }

    void lockOfADeadWriterIsTakenOverAndALiveOneNeverWaitedFor()
    {
        const QString lock = SettingsUserDefaults::filePath() + ".lock";
        QVERIFY(writeFile(lock, {}));
        QFile stale(lock);
        QVERIFY(stale.open(QIODevice::ReadWrite) && stale.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        stale.close();
        const QByteArray blob("[{\"bundleID\":\"a\"}]\0\xff", 21); // kept byte for byte
        {
            SettingsUserDefaults defaults;
            defaults.setData(key, blob);
            QVERIFY(!defaults.hasUnsavedValues());
        }
        QCOMPARE(SettingsUserDefaults().data(key), std::optional<QByteArray>(blob));

        QLockFile live(lock);
        QVERIFY(live.tryLock(0));
        SettingsUserDefaults defaults;
        defaults.setData(key, "[2]");
        QVERIFY(defaults.hasUnsavedValues());
        live.unlock();
        TRY_VERIFY(!defaults.hasUnsavedValues());
        QCOMPARE(SettingsUserDefaults().data(key), std::optional<QByteArray>("[2]"));
    }

    void iconCacheLinksAreNeverFollowed()
    {
        const QString outside = m_home->path() + "/secret";
        QVERIFY(writeFile(outside, "secret"));
        const QString folder = IconCache::directory();
        QVERIFY(QFile::link(outside, folder + "/com.example.linked.png"));
        QVERIFY(QFile::link(m_home->path() + "/made-outside", folder + "/com.example.dangling.png"));

        QVERIFY(!IconCache::read("com.example.linked"));
        for (const QString id : {"com.example.linked", "com.example.dangling"}) {
            IconCache::write(id, "png bytes");
            QVERIFY(!QFileInfo(folder + "/" + id + ".png").isSymLink());
            QCOMPARE(IconCache::read(id), std::optional<QByteArray>("png bytes"));
        }
        QCOMPARE(QFile(outside).size(), 6);
        QVERIFY(!QFileInfo::exists(m_home->path() + "/made-outside"));
    }

    // Adds at the end, removes by identifier, holds at most eight.
    void togglingAddsRemovesAndStopsAtEight()
    {
        MacAppStore store;
        QSignalSpy changed(&store, &MacAppStore::selectedAppsChanged);
        QSignalSpy arrived(&store, &MacAppStore::selectedIconsArrived);
        store.toggleSelection(app("o.one"));
        // Shown at once; the icon is rendered on a worker and follows.
        QCOMPARE(store.selectedApps().first().displayName, QString("ONE"));
        QVERIFY(!store.selectedApps().first().iconData && store.isIconPending("o.one"));
        TRY_VERIFY(store.selectedApps().first().iconData);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(arrived.count(), 1);
        for (const char *id : {"o.two", "o.three", "o.four", "o.five", "o.six", "o.seven", "o.eight"})
            store.toggleSelection(app(id, std::nullopt));
        QCOMPARE(changed.count(), 9);
        const std::optional<QByteArray> full = stored();
        store.toggleSelection(app("o.ninth"));
        QCOMPARE(store.selectedApps().size(), MacAppStore::maxSelectedApps);
        QCOMPARE(stored(), full);
        QVERIFY(!store.isIconPending("o.ninth"));
        QCOMPARE(changed.count(), 9);
        store.toggleSelection(app("o.three")); // another record of the same app
        QCOMPARE(layout(store.selectedApps()), QString("o.one@0 o.two@1 o.four@2 o.five@3 o.six@4 o.seven@5 o.eight@6"));
        QCOMPARE(storedLayout(), layout(store.selectedApps()));
    }

    void moveLikeAListDragAndRemove()
    {
        const QList<std::tuple<QSet<int>, int, QString>> moves{
            {{0}, 2, "BACD"}, {{3}, 0, "DABC"}, {{0}, 4, "BCDA"}, {{1, 3}, 1, "ABDC"},
            {{2}, 2, "ABCD"}, {{0}, 9, "BCDA"}, {{-1, 7}, 0, "ABCD"}};
        for (const auto &[from, to, expected] : moves) {
            MacAppStore store;
            store.removeSelections({0, 1, 2, 3});
            select(store, {"m.A", "m.B", "m.C", "m.D"});
            store.moveSelections(from, to);
            QCOMPARE(layout(store.selectedApps()), QString("m.%1@0 m.%2@1 m.%3@2 m.%4@3")
                                                       .arg(expected[0]).arg(expected[1]).arg(expected[2]).arg(expected[3]));
            QCOMPARE(storedLayout(), layout(store.selectedApps()));
        }
        {
            MacAppStore store;
            store.removeSelections({1, 3, 42});
            QCOMPARE(layout(store.selectedApps()), QString("m.A@0 m.C@1"));
            QCOMPARE(storedLayout(), layout(store.selectedApps()));
            TRY_VERIFY(QFile::exists(iconDirectory() + "/m.B.png")); // icon files stay
            store.removeSelections({0, 1});
            QCOMPARE(stored(), std::optional<QByteArray>("[]"));
        }
        QVERIFY(MacAppStore().selectedApps().isEmpty());
    }

    void persistsACompactJsonArrayAndLoadsAnyKeyOrder()
    {
        {
            MacAppStore store;
            store.toggleSelection({QUuid::createUuid(), "p.one", "One \"1\"", AppIcon(), "/x"});
            store.toggleSelection({QUuid::createUuid(), "p.two", "Zwei ü", AppIcon(), "/y"});
            QCOMPARE(stored(), std::optional<QByteArray>("[{\"bundleID\":\"p.one\",\"displayName\":\"One \\\"1\\\"\",\"gridIndex\":0},"
                                                         R"({"bundleID":"p.two","displayName":"Zwei ü","gridIndex":1}])"));
        }
        // Unknown keys ignored, indices not renumbered, nothing saved by loading.
        SettingsUserDefaults().setData(key, R"([{"gridIndex":5,"displayName":"Five","bundleID":"l.five"},
                  {"displayName":"Three","bundleID":"l.three","gridIndex":3,"extra":true}])");
        MacAppStore store;
        QCOMPARE(layout(store.selectedApps()), QString("l.five@5 l.three@3"));
        QVERIFY(stored()->contains("\"extra\":true"));
        store.moveSelections({1}, 0);
        QCOMPARE(layout(store.selectedApps()), QString("l.three@0 l.five@1"));
        // Of an oversized array, the first eight by grid index.
        QList<AppSelection> many;
        for (int i = 0; i < 1000; ++i)
            many.append({QString("o.%1").arg(i), "App", 999 - i});
        SettingsUserDefaults().setData(key, encodeAppSelections(many));
        QCOMPARE(layout(MacAppStore().selectedApps()), QString("o.999@0 o.998@1 o.997@2 o.996@3 o.995@4 o.994@5 o.993@6 o.992@7"));
    }

    // An undecodable value gives no selection and stays until a change is saved.
    void undecodableValueGivesNoSelection()
    {
        for (const char *bytes : {"[{\"bundleID\":", R"([{"bundleID":"u.a","displayName":"A"}])",
                                  R"([{"bundleID":"u.a","displayName":"A","gridIndex":"0"}])",
                                  R"([{"bundleID":"u.a","displayName":"A","gridIndex":0.5}])",
                                  R"([{"bundleID":"u.a","displayName":null,"gridIndex":0}])",
                                  R"([{"bundleID":"u.a","displayName":"A","gridIndex":0},3])",
                                  R"({"bundleID":"u.a","displayName":"A","gridIndex":0})"}) {
            SettingsUserDefaults().setData(key, bytes);
            QVERIFY2(MacAppStore().selectedApps().isEmpty(), bytes);
            QCOMPARE(stored(), std::optional<QByteArray>(bytes));
        }
        MacAppStore store;
        store.toggleSelection(app("u.b"));
        QCOMPARE(storedLayout(), QString("u.b@0"));
    }

    void restartReadsIconFilesAndWritesThemBack()
    {
        QList<AppItem> before;
        {
            MacAppStore store;
            select(store, {"s.a", "s.b", "s.c"});
            TRY_VERIFY(std::ranges::all_of(store.selectedApps(), [](const AppItem &item) { return item.iconData.has_value(); }));
            before = store.selectedApps();
        }
        QVERIFY(QFile::remove(iconDirectory() + "/s.b.png"));
        MacAppStore restarted;
        const QList<AppItem> after = restarted.selectedApps();
        QVERIFY(after.at(0).id != before.at(0).id);
        QCOMPARE(after.at(0).displayName, before.at(0).displayName);
        QCOMPARE(after.at(2).iconData, before.at(2).iconData);
        QVERIFY(!after.at(1).iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/s.b.png")); // not regenerated by loading
        // The next change writes back every icon still held in memory.
        QVERIFY(QDir(iconDirectory()).removeRecursively());
        restarted.toggleSelection(app("s.d"));
        QCOMPARE(readFile(iconDirectory() + "/s.a.png"), *before.at(0).iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/s.b.png"));
    }

    // An icon file gone from the cache (a new home, a cleared ~/.cache) is
    // rendered again once the scan finds the application; one never found
    // stays without.
    void restoredSelectionGetsMissingIconsRenderedAgain()
    {
        const QString bundle = makeBundle(m_home->applications(), "Viewer.app",
                                          {{"CFBundleIdentifier", "r.viewer"}, {"CFBundleIconFile", "Viewer.icns"}});
        QVERIFY(writeIcns(bundle + "/Contents/Resources/Viewer.icns", {solidImage(128, Qt::yellow)}));
        SettingsUserDefaults().setData(key, R"([{"bundleID":"r.gone","displayName":"Gone","gridIndex":0},
                                                {"bundleID":"r.viewer","displayName":"Viewer","gridIndex":1}])");
        MacAppStore store;
        QSignalSpy arrived(&store, &MacAppStore::selectedIconsArrived);
        QVERIFY(!store.selectedApps().at(1).iconData); // loading renders nothing
        TRY_VERIFY(store.selectedApps().at(1).iconData);
        QCOMPARE(centre(QImage::fromData(*store.selectedApps().at(1).iconData, "PNG")), QColor(Qt::yellow));
        QCOMPARE(IconCache::read("r.viewer"), store.selectedApps().at(1).iconData);
        QCOMPARE(arrived.count(), 1);
        QVERIFY(!store.selectedApps().at(0).iconData && !store.isIconPending("r.gone"));
        QCOMPARE(layout(store.selectedApps()), QString("r.gone@0 r.viewer@1"));
    }

    void iconFilesAreWrittenAndReused()
    {
        qputenv("XDG_CACHE_HOME", (m_home->path() + "/deep/caches").toUtf8()); // not there yet
        QVERIFY(writeIcns(dir.filePath("Viewer.icns"), {solidImage(1024, Qt::cyan), solidImage(128, Qt::yellow)}));
        const InstalledApp viewer = app("w.viewer", AppIcon::fromFile(dir.filePath("Viewer.icns")));
        MacAppStore store;
        QCOMPARE(store.iconCacheDirectory(), m_home->path() + "/deep/caches/TendrilIcons");
        store.toggleSelection(viewer);
        TRY_VERIFY(store.selectedApps().first().iconData);
        const QString file = store.iconCacheDirectory() + "/w.viewer.png";
        const QByteArray icon = store.selectedApps().first().iconData.value_or("");
        QCOMPARE(readFile(file), icon);
        const QImage decoded = QImage::fromData(icon, "PNG");
        QCOMPARE(decoded.size(), QSize(128, 128));
        for (const QPoint corner : {QPoint(0, 0), QPoint(127, 127)}) // filled corner to corner
            QCOMPARE(decoded.pixelColor(corner), QColor(Qt::yellow));
        // Adding again takes the file's bytes as they are.
        store.toggleSelection(viewer);
        QVERIFY(writeFile(file, "not even a PNG"));
        store.toggleSelection(viewer);
        QCOMPARE(store.selectedApps().first().iconData, std::optional<QByteArray>("not even a PNG"));
        // No icon, no file; a cached file is used even so.
        store.toggleSelection(app("n.none", std::nullopt));
        QVERIFY(!store.selectedApps().last().iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/n.none.png"));
        QVERIFY(writeFile(iconDirectory() + "/n.cached.png", "cached"));
        QCOMPARE(store.pngIconData(app("n.cached", std::nullopt)), std::optional<QByteArray>("cached"));
    }

    void iconFolderUnwritable()
    {
        QVERIFY(writeFile(iconDirectory(), "in the way")); // a file where the folder should be
        MacAppStore store;
        store.toggleSelection(app("f.blocked"));
        TRY_VERIFY(store.selectedApps().first().iconData);
        QCOMPARE(QImage::fromData(store.selectedApps().first().iconData.value_or(""), "PNG").size(), QSize(128, 128));
        QCOMPARE(storedLayout(), QString("f.blocked@0"));
        QCOMPARE(readFile(iconDirectory()), QByteArray("in the way"));
    }

    void identifiersNeverLeaveTheIconFolder()
    {
        const QString caches = StandardLocations::cachesDirectory();
        QVERIFY(writeFile(caches + "/secret.png", "outside"));
        const QString unsafeLayout = QString("../secret@0 a/b@1 ..@2 .@3 nul%1x@4").arg(QChar(0));
        {
            MacAppStore store;
            select(store, {"../secret", "a/b", "..", ".", QString("nul") + QChar(0) + "x"});
            QCOMPARE(layout(store.selectedApps()), unsafeLayout);
            // Rendered and kept in memory, never read from or written to a file.
            TRY_VERIFY(std::ranges::none_of(store.selectedApps(), [&](const AppItem &item) { return store.isIconPending(item.bundleIdentifier); }));
            for (const AppItem &item : store.selectedApps())
                QVERIFY(item.iconData && item.iconData != std::optional<QByteArray>("outside"));
        }
        QCOMPARE(readFile(caches + "/secret.png"), QByteArray("outside"));
        QCOMPARE(QDir(iconDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        MacAppStore restarted;
        QCOMPARE(layout(restarted.selectedApps()), unsafeLayout);
        QVERIFY(!restarted.selectedApps().first().iconData);
    }
};

QTEST_GUILESS_MAIN(CataloguePlatformTest)
#include "tst_catalogue_platform.moc"
