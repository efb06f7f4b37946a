// The catalogue scan: bundle folders, desktop entries and themed icons over a
// tree made here, and their icons on a phone.
#include "CatalogueFixtures.h"
#include "DesktopFixtures.h"
#include "tests/server/ServerFixture.h"
#include "tests/server/TestPhone.h"

#include "tests/TestTime.h"

#include "catalogue/AppScanner.h"
#include "catalogue/DesktopApps.h"
#include "catalogue/IconCache.h"
#include "platform/linux/LinuxApplicationServices.h"
#include "platform/freedesktop/DesktopEntryIndex.h"
#include "server/SelectionPush.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <sys/stat.h>

namespace {

InstalledApp byId(const QList<InstalledApp> &apps, const QString &id)
{
    const auto it = std::find_if(apps.begin(), apps.end(), [&](const InstalledApp &a) { return a.bundleID == id; });
    return it == apps.end() ? InstalledApp{} : *it;
}

QVariantMap identified(const QString &identifier, QVariantMap more = {})
{
    more.insert("CFBundleIdentifier", identifier);
    return more;
}

const QString longId = QString(4, 'd').replace("d", QString(70, 'n') + '-') + "long";

} // namespace

class DesktopEntriesTest : public QObject, ServerFixture {
    Q_OBJECT

    QTemporaryDir root;
    LinuxApplicationServices applications;
    const QString local = root.filePath("home/.local/share"), sys1 = root.filePath("sys1"),
                  sys2 = root.filePath("sys2");

    // One entry each: where it is written and what the catalogue makes of it.
    // No name: not listed; no colour: the generic icon; no id: only written.
    struct Case {
        QString dir, file, keys, id, name;
        QColor icon;
    };
    QList<Case> cases() const
    {
        const QString home = local + "/applications", one = sys1 + "/applications", two = sys2 + "/applications";
        return {
            {home, "org.test.Local.desktop", "Name=Local\nName[de]=Lokal\nIcon=svgicon", "org.test.Local", "Lokal", Qt::blue},
            {home, "kde4/kate.desktop", "Name=K\nName[de]=K de\nName[de_DE]=K DE\nIcon=pngicon", "kde4-kate", "K DE", Qt::green},
            {home, "org.test.Twice.desktop", "Name=Twice Home\nIcon=pngicon.png", "org.test.Twice", "Twice Home", Qt::green},
            {one, "org.test.Twice.desktop", "Name=Twice System", "", "", {}},
            {home, "org.test.Masked.desktop", "Name=M\nHidden=true", "org.test.Masked", "", {}},
            {one, "org.test.Masked.desktop", "Name=Masked", "", "", {}},
            {home, "org.test.Escaped.desktop", "Name=Tab\\sSpace\nOnlyShowIn=KDE;\nIcon=inherited", "org.test.Escaped", "Tab Space", Qt::yellow},
            {one, "org.test.NoDisplay.desktop", "Name=N\nNoDisplay=true", "org.test.NoDisplay", "", {}},
            {one, "org.test.Gnome.desktop", "Name=G\nOnlyShowIn=GNOME;", "org.test.Gnome", "", {}},
            {one, "org.test.NotKde.desktop", "Name=K\nNotShowIn=KDE;", "org.test.NotKde", "", {}},
            {one, "org.test.TryMissing.desktop", "Name=T\nTryExec=/nonexistent/program", "org.test.TryMissing", "", {}},
            {one, "org.test.TryShell.desktop", "Name=Shell\nTryExec=sh\nIcon=pixonly", "org.test.TryShell", "Shell", Qt::magenta},
            {one, "org.test.Abs.desktop", "Name=Abs\nIcon=" + root.filePath("abs.png"), "org.test.Abs", "Abs", Qt::cyan},
            {one, "org.test.Fifo.desktop", "Name=Fifo\nIcon=" + root.filePath("fifo"), "org.test.Fifo", "Fifo", {}},
            {one, "org.test.Climb.desktop", "Name=C\nIcon=../icons/hicolor/128x128/apps/pngicon", "org.test.Climb", "C", {}},
            {one, "org.test.Missing.desktop", "Name=Missing\nIcon=nothing-here", "org.test.Missing", "Missing", {}},
            {one, "org.test.Huge.desktop", "Name=Huge\nX-Pad=" + QString(10 << 20, 'x'), "org.test.Huge", "", {}},
            {one, "org.test.TwoMiB.desktop", "Name=Two\nX-Pad=" + QString(2 << 20, 'x'), "org.test.TwoMiB", "", {}},
            {one, "org.test.Large.desktop", "Name=Large\nX-Pad=" + QString(1000 << 10, 'x'), "org.test.Large", "Large", {}},
            // Identifiers that cannot name a file in the icon cache.
            {one, "..desktop", "Name=Dot\nIcon=pngicon", ".", "Dot", Qt::green},
            {one, QString(longId).replace('-', '/') + ".desktop", "Name=Long\nIcon=pngicon", longId, "Long", Qt::green},
            {two, "org.test.Files.desktop", "Name=Files\nIcon=svgicon\nMimeType=inode/directory;", "org.test.Files", "Files", Qt::blue},
        };
    }

    InstalledApp find(const QString &id) const { return byId(store->allInstalledApps(), id); }

    void makeTree()
    {
        for (const Case &c : cases())
            writeDesktopEntry(c.dir, c.file, c.keys);
        const QString one = sys1 + "/applications/";
        writeFile(one + "org.test.Link.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=file:///\n");
        writeFile(one + "org.test.Garbage.desktop", QByteArray("\x00\xff[Desktop\n=\x01", 14));
        QFile::link(root.filePath("nowhere"), one + "org.test.Dangling.desktop");
        // A FIFO blocks whoever opens it: GIO's own scan would wait here for good.
        for (const QString &fifo : {local + "/applications/org.test.Pipe.desktop", one + "org.test.Pipe.desktop", root.filePath("fifo")})
            mkfifo(QFile::encodeName(fifo).constData(), 0600);
        QDir().mkpath(one + "org.test.Dir.desktop");
        writeFile(root.filePath("etc/mimeapps.list"), "[Default Applications]\ninode/directory=org.test.Files.desktop\n");

        const QByteArray theme = "[Icon Theme]\nInherits=%1\nDirectories=%2\n[%2]\nType=%3\nSize=%4\nMinSize=8\nMaxSize=512\n";
        writeFile(root.filePath("etc/kdeglobals"), "[Icons]\nTheme=Test\n");
        writeFile(local + "/icons/Test/index.theme", QString(theme).arg("Parent,hicolor", "scalable/apps", "Scalable", "48").toUtf8());
        writeFile(sys2 + "/icons/Parent/index.theme", QString(theme).arg("", "32x32/apps", "Fixed", "32").toUtf8());
        writeFile(sys1 + "/icons/hicolor/index.theme", "[Icon Theme]\nDirectories=48x48/apps,128x128/apps\n"
                  "[48x48/apps]\nSize=48\n[128x128/apps]\nSize=128\nType=Fixed\n");
        writeFile(local + "/icons/Test/scalable/apps/svgicon.svg", solidSvg(Qt::blue));
        const struct { int side; QColor colour; QString path; } images[] = {
            {128, Qt::red, sys1 + "/icons/hicolor/128x128/apps/svgicon.png"}, // the user's theme comes first
            {48, Qt::red, sys1 + "/icons/hicolor/48x48/apps/pngicon.png"},    // the size nearest 128 wins
            {128, Qt::green, sys1 + "/icons/hicolor/128x128/apps/pngicon.png"},
            {32, Qt::yellow, sys2 + "/icons/Parent/32x32/apps/inherited.png"},
            {64, Qt::magenta, sys2 + "/pixmaps/pixonly.png"},
            {64, Qt::cyan, root.filePath("abs.png")},
        };
        for (const auto &[side, colour, path] : images) {
            QDir().mkpath(QFileInfo(path).path());
            solidImage(side, colour).save(path);
        }
    }

private slots:
    void initTestCase()
    {
        // GLib reads these once, at its first call: they are set before anything
        // asks. The fixture's home then takes HOME and the config and cache folders.
        for (const auto &[name, value] : QList<std::pair<const char *, QString>>{
                 {"XDG_DATA_HOME", local}, {"XDG_DATA_DIRS", sys1 + ':' + sys2}, {"XDG_CONFIG_DIRS", root.filePath("etc")},
                 {"XDG_CURRENT_DESKTOP", "KDE"}, {"LANGUAGE", "de_DE"}})
            qputenv(name, value.toUtf8());
        makeTree();
        setUp(&applications);
        TRY_VERIFY(!store->allInstalledApps().isEmpty());
    }

    void entriesNamesAndIcons()
    {
        const QByteArray generic = *IconCache::renderPng(AppIcon());
        for (const Case &c : cases()) {
            const InstalledApp app = find(c.id); // none for the entries only written
            QVERIFY2(c.name.isEmpty() == app.bundleID.isEmpty(), qPrintable(c.id));
            if (app.bundleID.isEmpty())
                continue;
            QCOMPARE(app.name, c.name);
            QCOMPARE(app.path, c.dir + '/' + c.file);
            const std::optional<QByteArray> png = store->pngIconData(app);
            QVERIFY2(c.icon.isValid() ? centre(png) == c.icon : *png == generic, qPrintable(c.id));
        }
        for (const char *id : {"org.test.Link", "org.test.Garbage", "org.test.Dangling", "org.test.Dir", "org.test.Pipe"})
            QVERIFY2(find(id).bundleID.isEmpty(), id);
        const QStringList cached = QDir(store->iconCacheDirectory()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(cached.contains("kde4-kate.png") && !cached.contains(".png") && !cached.contains(longId + ".png"));
        QCOMPARE(DesktopApps::entryFolders(), QStringList({local + "/applications", sys1 + "/applications", sys2 + "/applications"}));
    }

    void fileManagerFirstAndOnce()
    {
        QCOMPARE(store->allInstalledApps().first().bundleID, QString("org.test.Files"));
        QCOMPARE(appNames(store->allInstalledApps()).count("Files"), 1);

        auto record = [](const QString &id, const QString &name) { return InstalledApp{QUuid::createUuid(), id, name, AppIcon(), "/apps/" + id}; };
        const QList<InstalledApp> bundles{record("com.apple.finder", "Finder"), record("a.ant", "Ant")};
        const QList<InstalledApp> menu{record("z.zed", "Zed"), record("a.ant", "Ant entry"), record("o.files", "Files")};
        const struct { bool finderInstalled, fileManager; QStringList expected; } merges[] = {
            {true, true, {"Finder", "Ant", "Files", "Zed"}},
            {false, true, {"Files", "Ant", "Zed"}},
            {false, false, {"Finder", "Ant", "Files", "Zed"}},
        };
        for (const auto &[installed, fileManager, expected] : merges)
            QCOMPARE(appNames(DesktopApps::merge(bundles, installed, menu, fileManager ? std::optional(menu.last()) : std::nullopt)), expected);
    }

    // Only NAME.app folders directly in a root; the first identifier wins,
    // compared case-sensitively; Finder is always there and never replaced.
    void findsBundlesInRootsOnly()
    {
        QCOMPARE(AppScanner::scanRoots(), QStringList({"/Applications", "/System/Applications",
                                                       "/System/Library/CoreServices", home.filePath("Applications")}));
        QCOMPARE(appNames(AppScanner::scan({root.filePath("missing")})), QStringList{"Finder"});
        const QString apps = root.filePath("bundles/Applications"), second = root.filePath("bundles/Second");
        makeBundle(apps, "Mail.app", identified("org.example.mail", {{"CFBundleName", "Mail"}}));
        makeBundle(apps, "Notes.app", identified("org.example.notes", {{"CFBundleName", "Notes"}}), PlistFormat::Binary);
        makeBundle(apps, "Shout.APP", identified("org.example.shout"));
        makeBundle(apps + "/Utilities", "Deep.app", identified("org.example.deep"));
        makeBundle(apps, "NoIdentifier.app", {{"CFBundleName", "Nothing"}});
        makeBundle(apps, "Finder.app", identified("com.apple.finder", {{"CFBundleName", "Impostor"}}));
        QDir().mkpath(apps + "/Empty.app");
        QVERIFY(writeFile(apps + "/Plain.app", {}) && writeFile(root.filePath("bundles/NotADirectory"), {}));
        makeBundle(second, "Mail.app", identified("org.example.mail", {{"CFBundleName", "Mail 2"}}));
        makeBundle(second, "Other.app", identified("org.example.Mail", {{"CFBundleName", "Other"}}));

        const QList<InstalledApp> found = AppScanner::scan({root.filePath("bundles/NotADirectory"), apps, second});
        QCOMPARE(appNames(found), QStringList({"Finder", "Mail", "Notes", "Other"}));
        QCOMPARE(found.at(0).bundleID, QString("com.apple.finder"));
        QCOMPARE(found.at(0).path, QString("/System/Library/CoreServices/Finder.app"));
        QVERIFY(found.at(0).icon && !found.at(0).id.isNull());
        QCOMPARE(byId(found, "org.example.mail").path, apps + "/Mail.app");
        QVERIFY(found.at(1).id != found.at(3).id);
    }

    // Names and icons fall back; sorted by name, case-insensitively, equal
    // names in the order found, Finder first.
    void bundleNamesIconsAndOrder()
    {
        const QString dir = root.filePath("fallback");
        const QStringList found = {"banana", "Apple", "cherry", "aardvark", "Twin", "Twin"};
        for (int i = 0; i < found.size(); ++i)
            makeBundle(dir, QString("%1.app").arg(i), identified(QString("x.%1").arg(i), {{"CFBundleName", found[i]}}));
        makeBundle(dir, "Display.app", identified("a.display", {{"CFBundleDisplayName", "Shown"}, {"CFBundleName", "Plain"}}));
        makeBundle(dir, "Named.app", identified("a.named", {{"CFBundleName", "Plain Name"}}), PlistFormat::Binary);
        makeBundle(dir, "My.Tool.app", identified("a.tool"));
        makeBundle(dir, "Typed.app", identified("a.typed", {{"CFBundleDisplayName", 12}, {"CFBundleName", true}}));
        makeBundle(dir, "Blank.app", identified("a.blank", {{"CFBundleDisplayName", ""}}));
        const QString bare = makeBundle(dir, "Bare.app", identified("i.bare", {{"CFBundleIconFile", "AppIcon"}}));
        const QString dotted = makeBundle(dir, "Dotted.app", identified("i.dotted", {{"CFBundleIconFile", "Logo.png"}}));
        makeBundle(dir, "Escape.app", identified("i.escape", {{"CFBundleIconFile", "../../Other.icns"}}));

        const QList<InstalledApp> apps = AppScanner::scan({dir});
        QCOMPARE(appNames(apps), QStringList({"Finder", "", "aardvark", "Apple", "banana", "Bare", "cherry", "Dotted", "Escape",
                                              "My.Tool", "Plain Name", "Shown", "Twin", "Twin", "Typed"}));
        QCOMPARE(apps.at(12).bundleID + apps.at(13).bundleID, QString("x.4x.5"));
        QCOMPARE(byId(apps, "i.bare").icon->filePath(), bare + "/Contents/Resources/AppIcon.icns");
        QCOMPARE(byId(apps, "i.dotted").icon->filePath(), dotted + "/Contents/Resources/Logo.png");
        // Without a usable icon file it is the generic one.
        QCOMPARE(byId(apps, "a.tool").icon->filePath(), QString());
        QCOMPARE(byId(apps, "i.escape").icon->filePath(), QString());
    }

    void storePublishesTheScanOnce()
    {
        const QString apps = home.filePath("Applications");
        makeBundle(apps, "Zed.app", identified("z.zed", {{"CFBundleName", "Zed"}}));
        MacAppStore scanning;
        QSignalSpy changed(&scanning, &MacAppStore::allInstalledAppsChanged);
        QVERIFY(scanning.allInstalledApps().isEmpty()); // only once the event loop hands it over
        TRY_COMPARE(changed.count(), 1);
        QCOMPARE(byId(scanning.allInstalledApps(), "z.zed").name, QString("Zed"));
        QTest::qWait(scaledMs(50));
        QCOMPARE(changed.count(), 1);
        // A store released while its scan runs leaves nothing behind.
        for (int i = 0; i < 50; ++i)
            makeBundle(apps, QString("App%1.app").arg(i), identified(QString("n.%1").arg(i)));
        { MacAppStore released; }
        QVERIFY(QThreadPool::globalInstance()->waitForDone(scaledMs(10000)));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void cleanupTestCase() { tearDown(); }

    void phoneReceivesThemedIcons()
    {
        for (const char *id : {"org.test.Local", "kde4-kate"})
            store->toggleSelection(find(id));
        // The lists these changes send are due before any phone comes.
        QTest::qWait(scaledMs(2 * SelectionPush::delayMs));
        QVERIFY(startServer(1234));
        TestPhone phone(port);
        QVERIFY(phone.pair(server->pin()));
        const TDMessage message = phone.take();
        const auto *list = message.get<td::AppListUpdate>();
        QVERIFY(list && list->apps.size() == 2 && list->apps.at(1).bundleIdentifier == "kde4-kate");
        QCOMPARE(centre(list->apps.at(0).iconData), QColor(Qt::blue));
        QCOMPARE(centre(list->apps.at(1).iconData), QColor(Qt::green));
        // The changed selection goes out, and the icon rendered after it by
        // itself: the last list has it.
        QVERIFY(QFile::remove(store->iconCacheDirectory() + "/org.test.Abs.png"));
        const int lists = phone.kinds().count(TDMessageKind::appListUpdate);
        store->toggleSelection(find("org.test.Abs"));
        QVERIFY(!store->selectedApps().last().iconData);
        TRY_COMPARE(phone.kinds().count(TDMessageKind::appListUpdate), lists + 2);
        const auto last = std::ranges::find_if(phone.received.rbegin(), phone.received.rend(), &TDMessage::is<td::AppListUpdate>);
        const auto *updated = last->get<td::AppListUpdate>();
        QVERIFY(updated->apps.size() == 3);
        QCOMPARE(centre(updated->apps.last().iconData), QColor(Qt::cyan));
    }

    // Launch requests for IDs that are not installed are answered from the
    // entries read: however many come, none reads the folders again, and the
    // connection keeps answering. A new entry is read once its folder
    // reports the change.
    void unknownIdsNeverReadTheEntries()
    {
        TRY_VERIFY(!server->isConnected());
        TestPhone phone(port);
        QVERIFY(phone.pair(server->pin()));
        const int passes = DesktopEntryCache::shared().passes();
        QVERIFY(passes > 0);
        for (int i = 1; i <= 200; ++i) {
            phone.send(td::LaunchApp{QString("org.test.Unknown%1").arg(i)});
            if (i % 20 == 0)
                phone.send(td::Ping{});
        }
        TRY_COMPARE(phone.kinds().count(TDMessageKind::pong), 10);
        QCOMPARE(DesktopEntryCache::shared().passes(), passes);
        QVERIFY(!applications.urlForApplication("org.test.Fresh"));
        QVERIFY(writeDesktopEntry(local + "/applications", "org.test.Fresh.desktop", "Name=Fresh"));
        TRY_COMPARE(applications.urlForApplication("org.test.Fresh"), local + "/applications/org.test.Fresh.desktop");
        QVERIFY(DesktopEntryCache::shared().passes() > passes);
    }
};

QTEST_MAIN(DesktopEntriesTest)
#include "tst_desktop_entries.moc"
