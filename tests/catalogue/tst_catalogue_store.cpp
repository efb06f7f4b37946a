// The grid selection: editing, persistence and the icon files.
#include "CatalogueFixtures.h"

#include "catalogue/MacAppStore.h"
#include "platform/StandardLocations.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

namespace {

const QString key = QStringLiteral("tendril.selections.v3");

InstalledApp app(const QString &bundleID, std::optional<AppIcon> icon = AppIcon())
{
    return {QUuid::createUuid(), bundleID, bundleID.section('.', -1).toUpper(), icon,
            "/Applications/" + bundleID + ".app"};
}

std::optional<QByteArray> stored()
{
    return SettingsUserDefaults().data(key);
}

// "identifier@gridIndex …" for the items in order.
QString layout(const QList<AppItem> &items)
{
    QStringList parts;
    for (const AppItem &item : items)
        parts.append(QString("%1@%2").arg(item.bundleIdentifier).arg(item.gridIndex));
    return parts.join(' ');
}

// The same for the persisted array.
QString storedLayout()
{
    QStringList parts;
    for (const AppSelection &selection : decodeAppSelections(stored().value_or("")).value_or(QList<AppSelection>()))
        parts.append(QString("%1@%2").arg(selection.bundleID).arg(selection.gridIndex));
    return parts.join(' ');
}

QString iconDirectory()
{
    return StandardLocations::cachesDirectory() + "/TendrilIcons";
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class CatalogueStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_home;

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryHome>();
        QVERIFY(m_home->isValid());
    }

    void cleanup()
    {
        // Scans started by the stores of a test finish inside its home.
        QThreadPool::globalInstance()->waitForDone();
        m_home.reset();
    }

    void togglingAddsAtTheEndAndRemoves()
    {
        MacAppStore store;
        QSignalSpy changed(&store, &MacAppStore::selectedAppsChanged);
        QVERIFY(store.selectedApps().isEmpty());

        const QList<InstalledApp> apps = {app("o.one"), app("o.two"), app("o.three"), app("o.four"), app("o.five")};
        store.toggleSelection(apps.at(0));
        QCOMPARE(layout(store.selectedApps()), QString("o.one@0"));
        const AppItem first = store.selectedApps().first();
        QCOMPARE(first.displayName, QString("ONE"));
        QVERIFY(!first.id.isNull());
        QVERIFY(first.iconData);
        QVERIFY(!first.isRunning && !first.isFrontmost && !first.wasLastUsed);
        store.toggleSelection(apps.at(1));
        QCOMPARE(layout(store.selectedApps()), QString("o.one@0 o.two@1"));
        QCOMPARE(changed.count(), 2);

        for (int i = 2; i < apps.size(); ++i)
            store.toggleSelection(apps.at(i));
        QVERIFY(store.isSelected(apps.at(2)));
        // Removal goes by identifier: another record of the same app removes it.
        store.toggleSelection(app("o.three"));
        QVERIFY(!store.isSelected(apps.at(2)));
        QCOMPARE(layout(store.selectedApps()), QString("o.one@0 o.two@1 o.four@2 o.five@3"));
        QCOMPARE(storedLayout(), layout(store.selectedApps()));
        QCOMPARE(store.property("selectedApps").value<QList<AppItem>>(), store.selectedApps());
    }

    void gridHoldsAtMostEight()
    {
        MacAppStore store;
        for (int i = 0; i < 8; ++i)
            store.toggleSelection(app(QString("e.app%1").arg(i)));
        QCOMPARE(store.selectedApps().size(), MacAppStore::maxSelectedApps);

        const QList<AppItem> before = store.selectedApps();
        const std::optional<QByteArray> storedBefore = stored();
        const QStringList iconsBefore = QDir(iconDirectory()).entryList(QDir::Files);
        QSignalSpy changed(&store, &MacAppStore::selectedAppsChanged);
        store.toggleSelection(app("e.ninth"));
        QCOMPARE(store.selectedApps(), before);
        QCOMPARE(stored(), storedBefore);
        QCOMPARE(QDir(iconDirectory()).entryList(QDir::Files), iconsBefore);
        QVERIFY(!QFile::exists(iconDirectory() + "/e.ninth.png"));
        QCOMPARE(changed.count(), 0);

        store.toggleSelection(app("e.app3"));
        QCOMPARE(layout(store.selectedApps()), QString("e.app0@0 e.app1@1 e.app2@2 e.app4@3 e.app5@4 e.app6@5 e.app7@6"));
    }

    void moveLikeAListDrag_data()
    {
        QTest::addColumn<QSet<int>>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("expected");
        QTest::newRow("A to 2") << QSet<int>{0} << 2 << "BACD";
        QTest::newRow("D to 0") << QSet<int>{3} << 0 << "DABC";
        QTest::newRow("A to end") << QSet<int>{0} << 4 << "BCDA";
        QTest::newRow("B and D to 1") << QSet<int>{1, 3} << 1 << "ABDC";
        QTest::newRow("onto itself") << QSet<int>{2} << 2 << "ABCD";
        QTest::newRow("beyond the end") << QSet<int>{0} << 9 << "BCDA";
        QTest::newRow("unknown rows") << QSet<int>{-1, 7} << 0 << "ABCD";
    }

    void moveLikeAListDrag()
    {
        QFETCH(QSet<int>, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        MacAppStore store;
        for (const QChar letter : QString("ABCD"))
            store.toggleSelection(app(QString("m.") + letter));

        store.moveSelections(from, to);
        QCOMPARE(layout(store.selectedApps()), QString("m.%1@0 m.%2@1 m.%3@2 m.%4@3")
                                                   .arg(expected[0]).arg(expected[1]).arg(expected[2]).arg(expected[3]));
        QCOMPARE(storedLayout(), layout(store.selectedApps()));
    }

    void removeRenumbersAndPersists()
    {
        {
            MacAppStore store;
            for (const char *id : {"r.a", "r.b", "r.c", "r.d", "r.e"})
                store.toggleSelection(app(id));
            store.removeSelections({1, 3, 42});
            QCOMPARE(layout(store.selectedApps()), QString("r.a@0 r.c@1 r.e@2"));
            QCOMPARE(storedLayout(), layout(store.selectedApps()));
            // Icon files stay when their applications leave.
            QVERIFY(QFile::exists(iconDirectory() + "/r.b.png"));

            store.removeSelections({0, 1, 2});
            QVERIFY(store.selectedApps().isEmpty());
            QCOMPARE(stored(), std::optional<QByteArray>("[]"));
        }
        MacAppStore restarted;
        QVERIFY(restarted.selectedApps().isEmpty());
    }

    void persistsACompactJsonArrayAndLoadsAnyKeyOrder()
    {
        {
            MacAppStore store;
            store.toggleSelection({QUuid::createUuid(), "p.one", "One \"1\"", AppIcon(), "/x"});
            store.toggleSelection({QUuid::createUuid(), "p.two", QString::fromUtf8("Zwei ü"), AppIcon(), "/y"});
            QCOMPARE(stored(), std::optional<QByteArray>(
                QString::fromUtf8("[{\"bundleID\":\"p.one\",\"displayName\":\"One \\\"1\\\"\",\"gridIndex\":0},"
                                  "{\"bundleID\":\"p.two\",\"displayName\":\"Zwei ü\",\"gridIndex\":1}]")
                    .toUtf8()));
        }
        // Keys in any order, unknown keys ignored, indices not renumbered on load.
        SettingsUserDefaults().setData(key, R"([{"gridIndex":5,"displayName":"Five","bundleID":"l.five"},
                  {"displayName":"Three","bundleID":"l.three","gridIndex":3,"extra":true},
                  {"bundleID":"l.nine","gridIndex":9,"displayName":"Nine"}])");
        MacAppStore store;
        QCOMPARE(layout(store.selectedApps()), QString("l.five@5 l.three@3 l.nine@9"));
        QCOMPARE(store.selectedApps().at(1).displayName, QString("Three"));
        // Nothing is saved by loading.
        QVERIFY(stored()->contains("\"extra\":true"));

        store.moveSelections({2}, 0);
        QCOMPARE(layout(store.selectedApps()), QString("l.nine@0 l.five@1 l.three@2"));
    }

    void undecodableValueGivesNoSelection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not json") << QByteArray("[{\"bundleID\":");
        QTest::newRow("no gridIndex") << QByteArray(R"([{"bundleID":"u.a","displayName":"A"}])");
        QTest::newRow("text index") << QByteArray(R"([{"bundleID":"u.a","displayName":"A","gridIndex":"0"}])");
        QTest::newRow("fractional index") << QByteArray(R"([{"bundleID":"u.a","displayName":"A","gridIndex":0.5}])");
        QTest::newRow("null name") << QByteArray(R"([{"bundleID":"u.a","displayName":null,"gridIndex":0}])");
        QTest::newRow("one bad element") << QByteArray(R"([{"bundleID":"u.a","displayName":"A","gridIndex":0},3])");
        QTest::newRow("object") << QByteArray(R"({"bundleID":"u.a","displayName":"A","gridIndex":0})");
    }

    void undecodableValueGivesNoSelection()
    {
        QFETCH(QByteArray, bytes);
        SettingsUserDefaults().setData(key, bytes);
        {
            MacAppStore store;
            QVERIFY(store.selectedApps().isEmpty());
        }
        // Still there for the next start, until a change is saved.
        QCOMPARE(stored(), std::optional<QByteArray>(bytes));
        MacAppStore store;
        QVERIFY(store.selectedApps().isEmpty());
        store.toggleSelection(app("u.b"));
        QCOMPARE(storedLayout(), QString("u.b@0"));
    }

    void restartReadsIconFiles()
    {
        QList<AppItem> before;
        {
            MacAppStore store;
            for (const char *id : {"s.a", "s.b", "s.c"})
                store.toggleSelection(app(id));
            before = store.selectedApps();
        }
        QVERIFY(QFile::remove(iconDirectory() + "/s.b.png"));

        MacAppStore restarted;
        const QList<AppItem> after = restarted.selectedApps();
        QCOMPARE(layout(after), layout(before));
        for (int i = 0; i < after.size(); ++i) {
            QVERIFY(after.at(i).id != before.at(i).id);
            QCOMPARE(after.at(i).displayName, before.at(i).displayName);
        }
        QCOMPARE(after.at(0).iconData, before.at(0).iconData);
        QCOMPARE(after.at(2).iconData, before.at(2).iconData);
        QVERIFY(!after.at(1).iconData);
        // A missing file is not regenerated by loading.
        QVERIFY(!QFile::exists(iconDirectory() + "/s.b.png"));

        // The next change writes back every icon still held in memory.
        QVERIFY(QDir(iconDirectory()).removeRecursively());
        restarted.toggleSelection(app("s.d"));
        QCOMPARE(fileBytes(iconDirectory() + "/s.a.png"), *before.at(0).iconData);
        QCOMPARE(fileBytes(iconDirectory() + "/s.c.png"), *before.at(2).iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/s.b.png"));
    }

    void iconFilesAreWrittenAndReused()
    {
        // The caches folder and its parents do not exist yet.
        qputenv("XDG_CACHE_HOME", (m_home->path() + "/deep/caches").toUtf8());
        QTemporaryDir dir;
        QVERIFY(writeIcns(dir.filePath("AppIcon.icns"), {solidImage(1024, Qt::cyan), solidImage(128, Qt::yellow)}));
        const InstalledApp viewer = app("w.viewer", AppIcon::fromFile(dir.filePath("AppIcon.icns")));

        MacAppStore store;
        QCOMPARE(store.iconCacheDirectory(), m_home->path() + "/deep/caches/TendrilIcons");
        store.toggleSelection(viewer);
        const QString file = m_home->path() + "/deep/caches/TendrilIcons/w.viewer.png";
        const std::optional<QByteArray> icon = store.selectedApps().first().iconData;
        QVERIFY(icon);
        QCOMPARE(fileBytes(file), *icon);
        const QImage decoded = QImage::fromData(*icon, "PNG");
        QCOMPARE(decoded.size(), QSize(128, 128));
        QCOMPARE(decoded.pixelColor(64, 64), QColor(Qt::yellow));

        // Removing keeps the file; adding again takes the file's bytes as they are.
        store.toggleSelection(viewer);
        QVERIFY(QFile::exists(file));
        writeFile(file, "not even a PNG");
        store.toggleSelection(viewer);
        QCOMPARE(store.selectedApps().first().iconData, std::optional<QByteArray>("not even a PNG"));
        QCOMPARE(store.pngIconData(viewer), std::optional<QByteArray>("not even a PNG"));

        // An app without an icon gets no icon and no file; a cached file is used even so.
        store.toggleSelection(app("n.none", std::nullopt));
        QCOMPARE(store.selectedApps().last().bundleIdentifier, QString("n.none"));
        QVERIFY(!store.selectedApps().last().iconData);
        QVERIFY(!QFile::exists(iconDirectory() + "/n.none.png"));
        writeFile(iconDirectory() + "/n.cached.png", "cached");
        QCOMPARE(store.pngIconData(app("n.cached", std::nullopt)), std::optional<QByteArray>("cached"));
    }

    void iconFolderUnwritable()
    {
        // A plain file where the folder should be: nothing can be made or written.
        writeFile(iconDirectory(), "in the way");
        MacAppStore store;
        store.toggleSelection(app("f.blocked"));
        const std::optional<QByteArray> icon = store.selectedApps().first().iconData;
        QVERIFY(icon);
        QCOMPARE(QImage::fromData(*icon, "PNG").size(), QSize(128, 128));
        QCOMPARE(storedLayout(), QString("f.blocked@0"));
        QCOMPARE(fileBytes(iconDirectory()), QByteArray("in the way"));
    }

    void identifiersNeverLeaveTheIconFolder()
    {
        const QString caches = StandardLocations::cachesDirectory();
        writeFile(caches + "/secret.png", "outside");
        const QStringList unsafe = {"../secret", "a/b", "..", ".", QString("nul") + QChar(0) + "x"};
        const QString unsafeLayout = QString("../secret@0 a/b@1 ..@2 .@3 nul%1x@4").arg(QChar(0));
        {
            MacAppStore store;
            for (const QString &id : unsafe)
                store.toggleSelection(app(id));
            QCOMPARE(layout(store.selectedApps()), unsafeLayout);
            // Rendered and kept in memory, never read from or written to a file.
            for (const AppItem &item : store.selectedApps()) {
                QVERIFY(item.iconData);
                QVERIFY(item.iconData != std::optional<QByteArray>("outside"));
            }
        }
        QCOMPARE(fileBytes(caches + "/secret.png"), QByteArray("outside"));
        QCOMPARE(QDir(iconDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFile::exists(caches + "/TendrilIcons/a"));

        MacAppStore restarted;
        QCOMPARE(layout(restarted.selectedApps()), unsafeLayout);
        QVERIFY(!restarted.selectedApps().first().iconData);
    }
};

QTEST_GUILESS_MAIN(CatalogueStoreTest)
#include "tst_catalogue_store.moc"
