// The catalogue scan over real bundle folders.
#include "CatalogueFixtures.h"

#include "catalogue/AppScanner.h"
#include "catalogue/MacAppStore.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

namespace {

QStringList names(const QList<InstalledApp> &apps)
{
    QStringList result;
    for (const InstalledApp &app : apps)
        result.append(app.name);
    return result;
}

QVariantMap identified(const QString &identifier, const QVariantMap &more = {})
{
    QVariantMap info = more;
    info.insert("CFBundleIdentifier", identifier);
    return info;
}

const InstalledApp *find(const QList<InstalledApp> &apps, const QString &bundleID)
{
    for (const InstalledApp &app : apps) {
        if (app.bundleID == bundleID)
            return &app;
    }
    return nullptr;
}

} // namespace

class CatalogueScanTest : public QObject {
    Q_OBJECT
private slots:
    void rootsAreFixedAndFollowHome()
    {
        TemporaryHome home;
        QCOMPARE(AppScanner::scanRoots(), QStringList({"/Applications", "/System/Applications",
                                                       "/System/Library/CoreServices",
                                                       home.path() + "/Applications"}));
        // Finder is there even when nothing is installed.
        const QList<InstalledApp> apps = AppScanner::scan({home.path() + "/missing"});
        QCOMPARE(apps.size(), 1);
        QCOMPARE(apps.first().bundleID, QString("com.apple.finder"));
        QCOMPARE(apps.first().name, QString("Finder"));
        QCOMPARE(apps.first().path, QString("/System/Library/CoreServices/Finder.app"));
        QVERIFY(apps.first().icon);
        QVERIFY(!apps.first().id.isNull());
    }

    void findsBundlesInRootsOnly()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("Applications");
        makeBundle(root, "Mail.app", identified("org.example.mail", {{"CFBundleName", "Mail"}}));
        makeBundle(root, "Notes.app", identified("org.example.notes", {{"CFBundleName", "Notes"}}),
                   PlistFormat::Binary);
        makeBundle(root, "Shout.APP", identified("org.example.shout"));
        makeBundle(root + "/Utilities", "Deep.app", identified("org.example.deep"));
        makeBundle(root, "NoIdentifier.app", {{"CFBundleName", "Nothing"}});
        QDir().mkpath(root + "/Empty.app");
        QVERIFY(QFile(root + "/Plain.app").open(QIODevice::WriteOnly));
        // A root that cannot be listed (a file) is skipped, as is a missing one.
        QVERIFY(QFile(dir.filePath("NotADirectory")).open(QIODevice::WriteOnly));
        const QString second = dir.filePath("Second");
        makeBundle(second, "Maps.app", identified("org.example.maps"));

        const QList<InstalledApp> apps = AppScanner::scan(
            {dir.filePath("missing"), dir.filePath("NotADirectory"), root, second});
        QCOMPARE(names(apps), QStringList({"Finder", "Mail", "Maps", "Notes"}));
        QCOMPARE(find(apps, "org.example.notes")->path, root + "/Notes.app");
        QCOMPARE(find(apps, "org.example.maps")->path, second + "/Maps.app");
    }

    void firstIdentifierWinsAcrossRoots()
    {
        QTemporaryDir dir;
        const QString system = dir.filePath("Applications");
        const QString user = dir.filePath("home/Applications");
        makeBundle(system, "Editor.app", identified("org.example.editor", {{"CFBundleName", "Editor"}}));
        makeBundle(user, "Editor.app", identified("org.example.editor", {{"CFBundleName", "Editor 2"}}));
        // Identifiers compare case-sensitively.
        makeBundle(user, "Other.app", identified("org.example.Editor", {{"CFBundleName", "Other"}}));
        // A bundle claiming Finder's identifier never replaces the fixed record.
        makeBundle(system, "Finder.app", identified("com.apple.finder", {{"CFBundleName", "Impostor"}}));

        const QList<InstalledApp> apps = AppScanner::scan({system, user});
        QCOMPARE(names(apps), QStringList({"Finder", "Editor", "Other"}));
        QCOMPARE(apps.at(0).path, QString("/System/Library/CoreServices/Finder.app"));
        QCOMPARE(apps.at(1).path, system + "/Editor.app");
        QVERIFY(apps.at(1).id != apps.at(2).id);
    }

    void namesAndIconsFallBack()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        makeBundle(root, "Display.app",
                   identified("a.display", {{"CFBundleDisplayName", "Shown"}, {"CFBundleName", "Plain"}}));
        makeBundle(root, "Named.app", identified("a.named", {{"CFBundleName", "Plain Name"}}),
                   PlistFormat::Binary);
        makeBundle(root, "My.Tool.app", identified("a.tool"));
        makeBundle(root, "Typed.app", identified("a.typed", {{"CFBundleDisplayName", 12}, {"CFBundleName", true}}));
        makeBundle(root, "Blank.app", identified("a.blank", {{"CFBundleDisplayName", ""}}));
        const QString bare = makeBundle(root, "Bare.app", identified("i.bare", {{"CFBundleIconFile", "AppIcon"}}));
        const QString dotted = makeBundle(root, "Dotted.app", identified("i.dotted", {{"CFBundleIconFile", "Logo.png"}}));
        makeBundle(root, "Escape.app", identified("i.escape", {{"CFBundleIconFile", "../../Other.icns"}}));

        const QList<InstalledApp> apps = AppScanner::scan({root});
        QCOMPARE(find(apps, "a.display")->name, QString("Shown"));
        QCOMPARE(find(apps, "a.named")->name, QString("Plain Name"));
        QCOMPARE(find(apps, "a.tool")->name, QString("My.Tool"));
        QCOMPARE(find(apps, "a.typed")->name, QString("Typed"));
        QCOMPARE(find(apps, "a.blank")->name, QString(""));
        QCOMPARE(find(apps, "i.bare")->icon->filePath(), bare + "/Contents/Resources/AppIcon.icns");
        QCOMPARE(find(apps, "i.dotted")->icon->filePath(), dotted + "/Contents/Resources/Logo.png");
        // Every bundle has an icon; without a usable icon file it is the generic one.
        QVERIFY(find(apps, "a.tool")->icon);
        QCOMPARE(find(apps, "a.tool")->icon->filePath(), QString());
        QCOMPARE(find(apps, "i.escape")->icon->filePath(), QString());
    }

    void sortsByNameWithFinderFirst()
    {
        QTemporaryDir dir;
        // Equal names keep the order in which they were found.
        const QStringList found = {"banana", "Apple", "cherry", "aardvark", "Twin", "Twin"};
        for (int i = 0; i < found.size(); ++i)
            makeBundle(dir.path(), QString("%1.app").arg(i), identified(QString("x.%1").arg(i), {{"CFBundleName", found[i]}}));

        const QList<InstalledApp> apps = AppScanner::scan({dir.path()});
        QCOMPARE(names(apps), QStringList({"Finder", "aardvark", "Apple", "banana", "cherry", "Twin", "Twin"}));
        QCOMPARE(apps.at(5).bundleID, QString("x.4"));
        QCOMPARE(apps.at(6).bundleID, QString("x.5"));

        // Finder stays first even when its name would sort later.
        QList<InstalledApp> shuffled = {apps.at(3), apps.at(0), apps.at(1)};
        AppScanner::sortCatalogue(shuffled);
        QCOMPARE(names(shuffled), QStringList({"Finder", "aardvark", "banana"}));
    }

    void storePublishesTheScanOnce()
    {
        TemporaryHome home;
        makeBundle(home.path() + "/Applications", "Zed.app", identified("z.zed", {{"CFBundleName", "Zed"}}));
        makeBundle(home.path() + "/Applications", "Ant.app", identified("a.ant", {{"CFBundleName", "Ant"}}));

        MacAppStore store;
        QSignalSpy changed(&store, &MacAppStore::allInstalledAppsChanged);
        // Nothing is published before the event loop hands over the result.
        QVERIFY(store.allInstalledApps().isEmpty());
        QTRY_COMPARE(changed.count(), 1);
        const QList<InstalledApp> apps = store.allInstalledApps();
        QCOMPARE(apps.first().bundleID, QString("com.apple.finder"));
        QVERIFY(find(apps, "a.ant"));
        QVERIFY(find(apps, "z.zed"));
        QVERIFY(names(apps).indexOf("Ant") < names(apps).indexOf("Zed"));
        QCOMPARE(store.property("allInstalledApps").value<QList<InstalledApp>>().size(), apps.size());
        QTest::qWait(50);
        QCOMPARE(changed.count(), 1);
    }

    void storeReleasedBeforeTheScanEnds()
    {
        TemporaryHome home;
        for (int i = 0; i < 50; ++i)
            makeBundle(home.path() + "/Applications", QString("App%1.app").arg(i), identified(QString("n.%1").arg(i)));
        { MacAppStore released; } // gone while its scan runs
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_GUILESS_MAIN(CatalogueScanTest)
#include "tst_catalogue_scan.moc"
