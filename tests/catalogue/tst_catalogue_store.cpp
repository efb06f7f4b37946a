// The grid selection: editing, persistence and the icon files.
#include "CatalogueFixtures.h"

#include "catalogue/MacAppStore.h"
#include "platform/StandardLocations.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

namespace {

const QString key = "tendril.selections.v3";

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

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void select(MacAppStore &store, const QStringList &ids)
{
    for (const QString &id : ids)
        store.toggleSelection(app(id));
}

} // namespace

class CatalogueStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_home;

private slots:
    void init() { m_home = std::make_unique<TemporaryHome>(); }
    void cleanup()
    {
        QThreadPool::globalInstance()->waitForDone(); // scans finish inside their home
        m_home.reset();
    }

    // Adds at the end, removes by identifier, holds at most eight.
    void togglingAddsRemovesAndStopsAtEight()
    {
        MacAppStore store;
        QSignalSpy changed(&store, &MacAppStore::selectedAppsChanged);
        store.toggleSelection(app("o.one"));
        const AppItem first = store.selectedApps().first();
        QCOMPARE(first.displayName, QString("ONE"));
        QVERIFY(!first.id.isNull() && first.iconData);
        QVERIFY(!first.isRunning && !first.isFrontmost && !first.wasLastUsed);
        select(store, {"o.two", "o.three", "o.four", "o.five", "o.six", "o.seven", "o.eight"});
        QCOMPARE(changed.count(), 8);
        const std::optional<QByteArray> full = stored();
        store.toggleSelection(app("o.ninth"));
        QCOMPARE(store.selectedApps().size(), MacAppStore::maxSelectedApps);
        QCOMPARE(stored(), full);
        QVERIFY(!QFile::exists(iconDirectory() + "/o.ninth.png"));
        QCOMPARE(changed.count(), 8);
        store.toggleSelection(app("o.three")); // another record of the same app
        QCOMPARE(layout(store.selectedApps()), QString("o.one@0 o.two@1 o.four@2 o.five@3 o.six@4 o.seven@5 o.eight@6"));
        QCOMPARE(storedLayout(), layout(store.selectedApps()));
        QCOMPARE(store.property("selectedApps").value<QList<AppItem>>(), store.selectedApps());
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
            QVERIFY(QFile::exists(iconDirectory() + "/m.B.png")); // icon files stay
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
        QCOMPARE(store.selectedApps().at(1).displayName, QString("Three"));
        QVERIFY(stored()->contains("\"extra\":true"));
        store.moveSelections({1}, 0);
        QCOMPARE(layout(store.selectedApps()), QString("l.three@0 l.five@1"));
    }

    // An undecodable value gives no selection and stays until a change is saved.
    void undecodableValueGivesNoSelection()
    {
        for (const QByteArray &bytes : {QByteArray("[{\"bundleID\":"), QByteArray(R"([{"bundleID":"u.a","displayName":"A"}])"),
                                        QByteArray(R"([{"bundleID":"u.a","displayName":"A","gridIndex":"0"}])"),
                                        QByteArray(R"([{"bundleID":"u.a","displayName":"A","gridIndex":0.5}])"),
                                        QByteArray(R"([{"bundleID":"u.a","displayName":null,"gridIndex":0}])"),
                                        QByteArray(R"([{"bundleID":"u.a","displayName":"A","gridIndex":0},3])"),
                                        QByteArray(R"({"bundleID":"u.a","displayName":"A","gridIndex":0})")}) {
            SettingsUserDefaults().setData(key, bytes);
            QVERIFY2(MacAppStore().selectedApps().isEmpty(), bytes.constData());
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
            before = store.selectedApps();
        }
        QVERIFY(QFile::remove(iconDirectory() + "/s.b.png"));
        MacAppStore restarted;
        const QList<AppItem> after = restarted.selectedApps();
        QCOMPARE(layout(after), layout(before));
        QVERIFY(after.at(0).id != before.at(0).id);
        QCOMPARE(after.at(0).displayName, before.at(0).displayName);
        QCOMPARE(after.at(2).iconData, before.at(2).iconData);
        QVERIFY(!after.at(1).iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/s.b.png")); // not regenerated by loading
        // The next change writes back every icon still held in memory.
        QVERIFY(QDir(iconDirectory()).removeRecursively());
        restarted.toggleSelection(app("s.d"));
        QCOMPARE(fileBytes(iconDirectory() + "/s.a.png"), *before.at(0).iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/s.b.png"));
    }

    void iconFilesAreWrittenAndReused()
    {
        qputenv("XDG_CACHE_HOME", (m_home->path() + "/deep/caches").toUtf8()); // not there yet
        QTemporaryDir dir;
        QVERIFY(writeIcns(dir.filePath("AppIcon.icns"), {solidImage(1024, Qt::cyan), solidImage(128, Qt::yellow)}));
        const InstalledApp viewer = app("w.viewer", AppIcon::fromFile(dir.filePath("AppIcon.icns")));
        MacAppStore store;
        QCOMPARE(store.iconCacheDirectory(), m_home->path() + "/deep/caches/TendrilIcons");
        store.toggleSelection(viewer);
        const QString file = store.iconCacheDirectory() + "/w.viewer.png";
        const QByteArray icon = store.selectedApps().first().iconData.value_or("");
        QCOMPARE(fileBytes(file), icon);
        const QImage decoded = QImage::fromData(icon, "PNG");
        QCOMPARE(decoded.size(), QSize(128, 128));
        QCOMPARE(decoded.pixelColor(64, 64), QColor(Qt::yellow));
        // Adding again takes the file's bytes as they are.
        store.toggleSelection(viewer);
        writeFile(file, "not even a PNG");
        store.toggleSelection(viewer);
        QCOMPARE(store.selectedApps().first().iconData, std::optional<QByteArray>("not even a PNG"));
        // No icon, no file; a cached file is used even so.
        store.toggleSelection(app("n.none", std::nullopt));
        QVERIFY(!store.selectedApps().last().iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/n.none.png"));
        writeFile(iconDirectory() + "/n.cached.png", "cached");
        QCOMPARE(store.pngIconData(app("n.cached", std::nullopt)), std::optional<QByteArray>("cached"));
    }

    void iconFolderUnwritable()
    {
        writeFile(iconDirectory(), "in the way"); // a file where the folder should be
        MacAppStore store;
        store.toggleSelection(app("f.blocked"));
        QCOMPARE(QImage::fromData(store.selectedApps().first().iconData.value_or(""), "PNG").size(), QSize(128, 128));
        QCOMPARE(storedLayout(), QString("f.blocked@0"));
        QCOMPARE(fileBytes(iconDirectory()), QByteArray("in the way"));
    }

    void identifiersNeverLeaveTheIconFolder()
    {
        const QString caches = StandardLocations::cachesDirectory();
        writeFile(caches + "/secret.png", "outside");
        const QString unsafeLayout = QString("../secret@0 a/b@1 ..@2 .@3 nul%1x@4").arg(QChar(0));
        {
            MacAppStore store;
            select(store, {"../secret", "a/b", "..", ".", QString("nul") + QChar(0) + "x"});
            QCOMPARE(layout(store.selectedApps()), unsafeLayout);
            // Rendered and kept in memory, never read from or written to a file.
            for (const AppItem &item : store.selectedApps())
                QVERIFY(item.iconData && item.iconData != std::optional<QByteArray>("outside"));
        }
        QCOMPARE(fileBytes(caches + "/secret.png"), QByteArray("outside"));
        QCOMPARE(QDir(iconDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        MacAppStore restarted;
        QCOMPARE(layout(restarted.selectedApps()), unsafeLayout);
        QVERIFY(!restarted.selectedApps().first().iconData);
    }
};

QTEST_GUILESS_MAIN(CatalogueStoreTest)
#include "tst_catalogue_store.moc"
