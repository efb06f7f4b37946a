// The window's models over a real store in a temporary home: the page enum,
// the picker's filtering, the "On iPhone" rows and the push to a phone.
#include "LoopbackPhone.h"
#include "UiFixtures.h"

#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"
#include "ui/AppIconProvider.h"
#include "ui/InstalledAppsModel.h"
#include "ui/MacTab.h"
#include "ui/SelectedAppsModel.h"
#include "ui/SelectionPush.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestUiModels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tabsHaveTitlesInOrder();
    void filterMatchesNamesCaseInsensitively_data();
    void filterMatchesNamesCaseInsensitively();
    void refilterKeepsRemainingRows();
    void toggleMarksRowSelected();
    void selectedRowsShowSlotsAfterMoveAndRemove();
    void unreadableIconBytesGiveNoIcon();
    void iconProviderRendersAtAskedSizeWithRoundedCorners();
    void pushSendsOneCurrentListPerChangeOnlyWhileConnected();

private:
    QStringList names(const QList<InstalledApp> &apps) const;
    std::unique_ptr<LoopbackPhone> connectPhone();

    std::unique_ptr<TemporaryHome> m_home;
    std::unique_ptr<MacAppStore> m_store;
    std::unique_ptr<MacServerService> m_server;
};

void TestUiModels::initTestCase()
{
    m_home = std::make_unique<TemporaryHome>();
    const QString apps = m_home->applications();
    for (const QString &name : {QStringLiteral("Safari"), QStringLiteral("Mail"),
                                QStringLiteral("Terminal"), QStringLiteral("Calculator"),
                                QStringLiteral("Éclair Notes"), QStringLiteral("Numbers")}) {
        makeAppBundle(apps, name, QStringLiteral("org.sample.") + name.left(4).toLower(), 64);
    }
    // A bundle identifier that no name contains.
    makeAppBundle(apps, QStringLiteral("Postbox"), QStringLiteral("com.mailer.zzz"), 0);
}

void TestUiModels::init()
{
    m_store = std::make_unique<MacAppStore>();
    QVERIFY(waitForCatalogue(*m_store));
    // A fresh selection for every test.
    while (!m_store->selectedApps().isEmpty())
        m_store->removeSelections({0});
    m_server = std::make_unique<MacServerService>(*m_store);
}

void TestUiModels::cleanup()
{
    m_server.reset();
    m_store.reset();
}

QStringList TestUiModels::names(const QList<InstalledApp> &apps) const
{
    QStringList result;
    for (const InstalledApp &app : apps)
        result.append(app.name);
    return result;
}

std::unique_ptr<LoopbackPhone> TestUiModels::connectPhone()
{
    m_server->setListeningPort(0);
    m_server->startListening();
    if (!m_server->listener())
        return nullptr;
    auto phone = std::make_unique<LoopbackPhone>(m_server->listener()->port());
    if (!QTest::qWaitFor([&] { return m_server->isConnected() && phone->isConnected(); }, 5000))
        return nullptr;
    return phone;
}

void TestUiModels::tabsHaveTitlesInOrder()
{
    const QList<MacTab> cases{MacTab::apps, MacTab::selected, MacTab::settings, MacTab::about};
    const QStringList titles{"Apps", "On iPhone", "Settings", "About"};
    QCOMPARE(MacTabs::allCases(), cases);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(MacTabs::title(cases[i]), titles[i]);
        QCOMPARE(MacTabs::fromTitle(titles[i]), cases[i]);
    }
    QVERIFY(!MacTabs::fromTitle(QStringLiteral("on iphone")));
    QVERIFY(!MacTabs::fromTitle(QStringLiteral("Preferences")));

    MacTabInfo info;
    QCOMPARE(info.fromTitle(QStringLiteral("About")), int(MacTab::about));
    QCOMPARE(info.fromTitle(QString()), -1);
    QCOMPARE(info.title(7), QString());
}

void TestUiModels::filterMatchesNamesCaseInsensitively_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("part of a name") << "safa" << QStringList{"Safari"};
    QTest::newRow("other case") << "SAFA" << QStringList{"Safari"};
    QTest::newRow("accented letter, other case") << "éCLAIR" << QStringList{"Éclair Notes"};
    QTest::newRow("several, catalogue order")
        << "L" << QStringList{"Calculator", "Éclair Notes", "Mail", "Terminal"};
    QTest::newRow("bundle identifier is not searched") << "mailer" << QStringList{};
    QTest::newRow("path is not searched") << "Applications" << QStringList{};
}

void TestUiModels::filterMatchesNamesCaseInsensitively()
{
    QFETCH(QString, search);
    QFETCH(QStringList, expected);
    InstalledAppsModel model;
    model.setStore(m_store.get());
    QCOMPARE(names(model.filteredApps()), names(m_store->allInstalledApps()));
    QCOMPARE(model.filteredApps().first().bundleID, QStringLiteral("com.apple.finder"));

    model.setSearchText(search);
    // The matches, in the catalogue's order (which follows the locale).
    QStringList inCatalogueOrder;
    for (const QString &name : names(m_store->allInstalledApps())) {
        if (expected.contains(name))
            inCatalogueOrder.append(name);
    }
    QCOMPARE(inCatalogueOrder.size(), expected.size());
    QCOMPARE(names(model.filteredApps()), inCatalogueOrder);
    QCOMPARE(model.rowCount(), expected.size());

    model.setSearchText(QString());
    QCOMPARE(names(model.filteredApps()), names(m_store->allInstalledApps()));
}

void TestUiModels::refilterKeepsRemainingRows()
{
    InstalledAppsModel model;
    model.setStore(m_store.get());
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const int all = model.rowCount();
    model.setSearchText(QStringLiteral("a"));
    const int withA = model.rowCount();
    QCOMPARE(removed.size(), all - withA);
    model.setSearchText(QStringLiteral("l"));
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(removed.size(), all - 4);
    model.setSearchText(QString());
    QCOMPARE(inserted.size(), all - 4);
    QCOMPARE(resets.size(), 0);
    QCOMPARE(names(model.filteredApps()), names(m_store->allInstalledApps()));
}

void TestUiModels::toggleMarksRowSelected()
{
    InstalledAppsModel model;
    model.setStore(m_store.get());
    model.setSearchText(QStringLiteral("term"));
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex row = model.index(0);
    QCOMPARE(model.data(row, InstalledAppsModel::IsSelectedRole).toBool(), false);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.toggle(0);
    QCOMPARE(m_store->selectedApps().size(), 1);
    QCOMPARE(m_store->selectedApps().first().bundleIdentifier, QStringLiteral("org.sample.term"));
    QVERIFY(!changed.isEmpty());
    QCOMPARE(model.data(row, InstalledAppsModel::IsSelectedRole).toBool(), true);

    model.toggle(0);
    QVERIFY(m_store->selectedApps().isEmpty());
    QCOMPARE(model.data(row, InstalledAppsModel::IsSelectedRole).toBool(), false);
}

void TestUiModels::selectedRowsShowSlotsAfterMoveAndRemove()
{
    toggleApps(*m_store, {"Safari", "Mail", "Terminal"});
    SelectedAppsModel model;
    model.setStore(m_store.get());
    QCOMPARE(model.rowCount(), 3);

    auto rows = [&] {
        QStringList result;
        for (int i = 0; i < model.rowCount(); ++i) {
            result.append(QStringLiteral("%1:%2").arg(
                model.data(model.index(i), SelectedAppsModel::DisplayNameRole).toString(),
                model.data(model.index(i), SelectedAppsModel::SlotRole).toString()));
        }
        return result;
    };
    QCOMPARE(rows(), (QStringList{"Safari:1", "Mail:2", "Terminal:3"}));

    model.move(2, 0); // the third row dragged to the top
    QCOMPARE(rows(), (QStringList{"Terminal:1", "Safari:2", "Mail:3"}));
    model.move(0, 3); // the top row dragged below the last
    QCOMPARE(rows(), (QStringList{"Safari:1", "Mail:2", "Terminal:3"}));
    model.move(1, 7); // a destination outside the list is ignored
    QCOMPARE(rows(), (QStringList{"Safari:1", "Mail:2", "Terminal:3"}));

    QSignalSpy count(&model, &SelectedAppsModel::countChanged);
    model.remove(1);
    QCOMPARE(rows(), (QStringList{"Safari:1", "Terminal:2"}));
    QCOMPARE(count.size(), 1);
    model.remove(5);
    QCOMPARE(model.rowCount(), 2);
}

void TestUiModels::unreadableIconBytesGiveNoIcon()
{
    // The cached file wins over rendering, so garbage there becomes the
    // item's icon bytes.
    QFile cached(m_store->iconCacheDirectory() + QStringLiteral("/org.sample.numb.png"));
    QVERIFY(cached.open(QIODevice::WriteOnly));
    cached.write("not an image");
    cached.close();

    toggleApps(*m_store, {"Numbers", "Safari"});
    SelectedAppsModel model;
    model.setStore(m_store.get());
    QCOMPARE(model.data(model.index(0), SelectedAppsModel::DisplayNameRole).toString(),
             QStringLiteral("Numbers"));
    QCOMPARE(model.data(model.index(0), SelectedAppsModel::HasIconRole).toBool(), false);
    QCOMPARE(model.data(model.index(1), SelectedAppsModel::HasIconRole).toBool(), true);
    QFile::remove(cached.fileName());
}

void TestUiModels::iconProviderRendersAtAskedSizeWithRoundedCorners()
{
    AppIconProvider provider;
    QSize askedOfSource;
    provider.setSource(QStringLiteral("app/x"), [&](const QSize &size) {
        askedOfSource = size;
        QImage image(512, 512, QImage::Format_ARGB32);
        image.fill(Qt::red);
        return image;
    });

    QSize size;
    const QImage icon =
        provider.requestImage(QStringLiteral("app/x?radius=8&side=36"), &size, QSize(72, 72));
    QCOMPARE(askedOfSource, QSize(72, 72)); // decoded at the size shown, not in full
    QCOMPARE(icon.size(), QSize(72, 72));
    QCOMPARE(size, QSize(72, 72));
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // corner radius 16 at twice the size
    QCOMPARE(qAlpha(icon.pixel(71, 71)), 0);
    QCOMPARE(QColor(icon.pixel(36, 36)), QColor(Qt::red));
    QCOMPARE(QColor(icon.pixel(36, 0)), QColor(Qt::red));

    QVERIFY(provider.requestImage(QStringLiteral("app/unknown"), &size, QSize(36, 36)).isNull());
    provider.removeSource(QStringLiteral("app/x"));
    QVERIFY(provider.requestImage(QStringLiteral("app/x"), &size, QSize(36, 36)).isNull());
}

// The list goes out 0.05 s after each change, with the selection as it is
// then, and only while a phone is connected and the picker is shown.
void TestUiModels::pushSendsOneCurrentListPerChangeOnlyWhileConnected()
{
    auto push = std::make_unique<SelectionPush>();
    push->setStore(m_store.get());
    push->setServer(m_server.get());
    toggleApps(*m_store, {"Safari"}); // no phone yet
    QTest::qWait(150);

    auto phone = connectPhone();
    QVERIFY(phone);
    QTest::qWait(100);
    QCOMPARE(phone->appListCount(), 0); // arriving is not a change

    QElapsedTimer clock;
    clock.start();
    toggleApps(*m_store, {"Mail"});
    QTRY_COMPARE(phone->appListCount(), 1);
    QVERIFY2(clock.elapsed() >= 45, "the list goes out 0.05 s after the change");
    QCOMPARE(phone->appLists().last(), (QStringList{"org.sample.safa", "org.sample.mail"}));

    // Two quick changes: two lists, each with the selection as it is now.
    toggleApps(*m_store, {"Safari", "Terminal"});
    QTRY_COMPARE(phone->appListCount(), 3);
    const QStringList current{"org.sample.mail", "org.sample.term"};
    QCOMPARE(phone->appLists().mid(1), (QList<QStringList>{current, current}));
    QTest::qWait(200);
    QCOMPARE(phone->appListCount(), 3);

    push.reset(); // the picker is no longer shown
    toggleApps(*m_store, {"Mail"});
    QTest::qWait(250);
    QCOMPARE(phone->appListCount(), 3);
}

QTEST_MAIN(TestUiModels)
#include "tst_uimodels.moc"
