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

InstalledApp find(const QList<InstalledApp> &apps, const QString &bundleID)
{
    const auto it = std::find_if(apps.begin(), apps.end(), [&](const InstalledApp &a) { return a.bundleID == bundleID; });
    return it == apps.end() ? InstalledApp{} : *it;
}

} // namespace

class CatalogueScanTest : public QObject {
    Q_OBJECT
private slots:
    // Roots follow the home; Finder is there even when nothing is installed.
    void rootsAreFixedAndFinderIsAlwaysThere()
    {
        TemporaryHome home;
        QCOMPARE(AppScanner::scanRoots(), QStringList({"/Applications", "/System/Applications",
                                                       "/System/Library/CoreServices", home.applications()}));
        const QList<InstalledApp> apps = AppScanner::scan({home.path() + "/missing"});
        QCOMPARE(apps.size(), 1);
        QCOMPARE(apps.first().bundleID, QString("com.apple.finder"));
        QCOMPARE(apps.first().name, QString("Finder"));
        QCOMPARE(apps.first().path, QString("/System/Library/CoreServices/Finder.app"));
        QVERIFY(apps.first().icon && !apps.first().id.isNull());
    }

    // Only NAME.app folders directly in a root; the first identifier wins,
    // compared case-sensitively; Finder's record is never replaced.
    void findsBundlesInRootsOnly()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("Applications"), second = dir.filePath("Second");
        makeBundle(root, "Mail.app", identified("org.example.mail", {{"CFBundleName", "Mail"}}));
        makeBundle(root, "Notes.app", identified("org.example.notes", {{"CFBundleName", "Notes"}}), PlistFormat::Binary);
        makeBundle(root, "Shout.APP", identified("org.example.shout"));
        makeBundle(root + "/Utilities", "Deep.app", identified("org.example.deep"));
        makeBundle(root, "NoIdentifier.app", {{"CFBundleName", "Nothing"}});
        makeBundle(root, "Finder.app", identified("com.apple.finder", {{"CFBundleName", "Impostor"}}));
        QDir().mkpath(root + "/Empty.app");
        QVERIFY(QFile(root + "/Plain.app").open(QIODevice::WriteOnly));
        QVERIFY(QFile(dir.filePath("NotADirectory")).open(QIODevice::WriteOnly));
        makeBundle(second, "Mail.app", identified("org.example.mail", {{"CFBundleName", "Mail 2"}}));
        makeBundle(second, "Other.app", identified("org.example.Mail", {{"CFBundleName", "Other"}}));

        const QList<InstalledApp> apps = AppScanner::scan({dir.filePath("missing"), dir.filePath("NotADirectory"), root, second});
        QCOMPARE(names(apps), QStringList({"Finder", "Mail", "Notes", "Other"}));
        QCOMPARE(apps.at(0).path, QString("/System/Library/CoreServices/Finder.app"));
        QCOMPARE(find(apps, "org.example.mail").path, root + "/Mail.app");
        QVERIFY(apps.at(1).id != apps.at(3).id);
    }

    void namesAndIconsFallBack()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        makeBundle(root, "Display.app", identified("a.display", {{"CFBundleDisplayName", "Shown"}, {"CFBundleName", "Plain"}}));
        makeBundle(root, "Named.app", identified("a.named", {{"CFBundleName", "Plain Name"}}), PlistFormat::Binary);
        makeBundle(root, "My.Tool.app", identified("a.tool"));
        makeBundle(root, "Typed.app", identified("a.typed", {{"CFBundleDisplayName", 12}, {"CFBundleName", true}}));
        makeBundle(root, "Blank.app", identified("a.blank", {{"CFBundleDisplayName", ""}}));
        const QString bare = makeBundle(root, "Bare.app", identified("i.bare", {{"CFBundleIconFile", "AppIcon"}}));
        const QString dotted = makeBundle(root, "Dotted.app", identified("i.dotted", {{"CFBundleIconFile", "Logo.png"}}));
        makeBundle(root, "Escape.app", identified("i.escape", {{"CFBundleIconFile", "../../Other.icns"}}));

        const QList<InstalledApp> apps = AppScanner::scan({root});
        const QList<std::pair<const char *, QString>> expectedNames{
            {"a.display", "Shown"}, {"a.named", "Plain Name"}, {"a.tool", "My.Tool"}, {"a.typed", "Typed"}, {"a.blank", ""}};
        for (const auto &[id, name] : expectedNames)
            QCOMPARE(find(apps, id).name, name);
        QCOMPARE(find(apps, "i.bare").icon->filePath(), bare + "/Contents/Resources/AppIcon.icns");
        QCOMPARE(find(apps, "i.dotted").icon->filePath(), dotted + "/Contents/Resources/Logo.png");
        // Without a usable icon file it is the generic one.
        QCOMPARE(find(apps, "a.tool").icon->filePath(), QString());
        QCOMPARE(find(apps, "i.escape").icon->filePath(), QString());
    }

    // By name, case-insensitively, equal names in the order found, Finder first.
    void sortsByNameWithFinderFirst()
    {
        QTemporaryDir dir;
        const QStringList found = {"banana", "Apple", "cherry", "aardvark", "Twin", "Twin"};
        for (int i = 0; i < found.size(); ++i)
            makeBundle(dir.path(), QString("%1.app").arg(i), identified(QString("x.%1").arg(i), {{"CFBundleName", found[i]}}));
        const QList<InstalledApp> apps = AppScanner::scan({dir.path()});
        QCOMPARE(names(apps), QStringList({"Finder", "aardvark", "Apple", "banana", "cherry", "Twin", "Twin"}));
        QCOMPARE(apps.at(5).bundleID + apps.at(6).bundleID, QString("x.4x.5"));
        QList<InstalledApp> shuffled = {apps.at(3), apps.at(0), apps.at(1)};
        AppScanner::sortCatalogue(shuffled);
        QCOMPARE(names(shuffled), QStringList({"Finder", "aardvark", "banana"}));
    }

    void storePublishesTheScanOnce()
    {
        TemporaryHome home;
        makeBundle(home.applications(), "Zed.app", identified("z.zed", {{"CFBundleName", "Zed"}}));
        MacAppStore store;
        QSignalSpy changed(&store, &MacAppStore::allInstalledAppsChanged);
        QVERIFY(store.allInstalledApps().isEmpty()); // only once the event loop hands it over
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(store.allInstalledApps().first().bundleID, QString("com.apple.finder"));
        QCOMPARE(find(store.allInstalledApps(), "z.zed").name, QString("Zed"));
        QTest::qWait(50);
        QCOMPARE(changed.count(), 1);
        // A store released while its scan runs leaves nothing behind.
        for (int i = 0; i < 50; ++i)
            makeBundle(home.applications(), QString("App%1.app").arg(i), identified(QString("n.%1").arg(i)));
        { MacAppStore released; }
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_GUILESS_MAIN(CatalogueScanTest)
#include "tst_catalogue_scan.moc"
