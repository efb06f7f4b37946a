// Files someone else put in place: property-list bombs, special files, stale
// locks, links in the icon cache, an oversized stored selection.
#include "CatalogueFixtures.h"

#include "catalogue/IconCache.h"
#include "catalogue/MacAppStore.h"
#include "platform/bundles/BundleReader.h"
#include "platform/UserDefaults.h"
#include "platform/bundles/BundleIndex.h"
#include "platform/bundles/PlistBounds.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

using PlistBounds::Verdict;

namespace {

const QString key = QStringLiteral("tendril.selections.v3");

long peakResidentKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray seed(const char *name)
{
    QFile file(QStringLiteral(CORPUS "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

} // namespace

class HostileFilesTest : public QObject {
    Q_OBJECT
private slots:
    void propertyListBombsAreRefusedBeforeParsing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Verdict>("verdict");
        // The fuzz target's seeds: 200 deep, and 2^24 strings once expanded.
        QTest::newRow("deep xml") << seed("deep.xml") << Verdict::tooDeep;
        QTest::newRow("deep binary") << seed("deep.bplist") << Verdict::tooDeep;
        QTest::newRow("shared references") << seed("bomb.bplist") << Verdict::tooManyObjects;
        QTest::newRow("over 1 MB") << QByteArray(PlistBounds::maxBytes + 1, ' ') << Verdict::tooLarge;
    }

    void propertyListBombsAreRefusedBeforeParsing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Verdict, verdict);
        const long before = peakResidentKb();
        QCOMPARE(PlistBounds::check(bytes), verdict);
        QTemporaryDir root;
        const QString bundle = makeBundle(root.path(), "Bomb.app", {});
        writeFile(bundle + "/Contents/Info.plist", bytes);
        const std::optional<Bundle> opened = openBundle(bundle);
        QVERIFY(opened && !opened->bundleIdentifier);
        QVERIFY2(peakResidentKb() - before < 32 * 1024, QByteArray::number(qlonglong(peakResidentKb() - before)));
    }

    void identifierLookupsFollowARewrittenInfoPlist()
    {
        QTemporaryDir root;
        const QString bundle = makeBundle(root.path(), "Tool.app", {{"CFBundleIdentifier", "com.example.before"}});
        BundleIndex::shared().remember(bundle, QString("com.example.before"));
        QCOMPARE(BundleIndex::shared().pathFor("com.example.before", {root.path()}), bundle);
        makeBundle(root.path(), "Tool.app", {{"CFBundleIdentifier", "com.example.after.rewrite"}});
        QCOMPARE(BundleIndex::shared().pathFor("com.example.before", {root.path()}), std::nullopt);
        QCOMPARE(BundleIndex::shared().pathFor("com.example.after.rewrite", {root.path()}), bundle);
    }

    void specialFilesAreReadAsAbsent()
    {
        TemporaryHome home;
        const QString bundle = makeBundle(home.path(), "Fifo.app", {});
        const QString settings = SettingsUserDefaults::filePath();
        const QString icon = home.path() + "/.cache/TendrilIcons/com.example.fifo.png";
        QDir().mkpath(QFileInfo(settings).path());
        QDir().mkpath(QFileInfo(icon).path());
        for (const QString &path : {bundle + "/Contents/Info.plist", settings, icon}) {
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
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
        TemporaryHome home;
        const QString lock = SettingsUserDefaults::filePath() + ".lock";
        writeFile(lock, {});
        QFile stale(lock);
        QVERIFY(stale.open(QIODevice::ReadWrite));
        QVERIFY(stale.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        stale.close();
        {
            SettingsUserDefaults defaults;
            defaults.setData(key, "[1]");
            QVERIFY(!defaults.hasUnsavedValues());
        }
        QCOMPARE(SettingsUserDefaults().data(key), std::optional<QByteArray>("[1]"));

        QLockFile live(lock);
        QVERIFY(live.tryLock(0));
        SettingsUserDefaults defaults;
        defaults.setData(key, "[2]");
        QVERIFY(defaults.hasUnsavedValues());
        live.unlock();
        QTRY_VERIFY(!defaults.hasUnsavedValues());
        QCOMPARE(SettingsUserDefaults().data(key), std::optional<QByteArray>("[2]"));
    }

    void iconCacheLinksAreNeverFollowed()
    {
        TemporaryHome home;
        const QString outside = home.path() + "/secret";
        writeFile(outside, "secret");
        const QString folder = IconCache::directory();
        QVERIFY(QFile::link(outside, folder + "/com.example.linked.png"));
        QVERIFY(QFile::link(home.path() + "/made-outside", folder + "/com.example.dangling.png"));

        QVERIFY(!IconCache::read("com.example.linked"));
        for (const QString id : {"com.example.linked", "com.example.dangling"}) {
            IconCache::write(id, "png bytes");
            QVERIFY(!QFileInfo(folder + "/" + id + ".png").isSymLink());
            QCOMPARE(IconCache::read(id), std::optional<QByteArray>("png bytes"));
        }
        QCOMPARE(QFile(outside).size(), 6);
        QVERIFY(!QFileInfo::exists(home.path() + "/made-outside"));
    }

    void oversizedSelectionLoadsTheFirstEightByGridIndex()
    {
        TemporaryHome home;
        QList<AppSelection> many;
        for (int i = 0; i < 1000; ++i)
            many.append({QString("com.example.app%1").arg(i), "App", 999 - i});
        SettingsUserDefaults().setData(key, encodeAppSelections(many));
        MacAppStore store;
        QCOMPARE(store.selectedApps().size(), MacAppStore::maxSelectedApps);
        for (int slot = 0; slot < MacAppStore::maxSelectedApps; ++slot)
            QCOMPARE(store.selectedApps().at(slot).gridIndex, slot);
        QCOMPARE(store.selectedApps().first().bundleIdentifier, "com.example.app999");
    }
};

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "tst_hostile_files.moc"
