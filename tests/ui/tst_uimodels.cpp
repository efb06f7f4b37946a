// The window's models over a real store in a temporary home: the picker's
// filtering, the "On iPhone" rows and the push to a phone.
#include "UiFixtures.h"

#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"
#include "tests/server/TestPhone.h"
#include "ui/AppIconProvider.h"
#include "ui/InstalledAppsModel.h"
#include "ui/SelectedAppsModel.h"
#include "ui/SelectionPush.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList names(const QList<InstalledApp> &apps)
{
    QStringList result;
    for (const InstalledApp &app : apps)
        result.append(app.name);
    return result;
}

// The app lists a phone was sent, as lists of bundle identifiers.
QList<QStringList> appLists(const TestPhone &phone)
{
    QList<QStringList> lists;
    for (const TDMessage &message : phone.received) {
        if (const auto *update = message.get<td::AppListUpdate>()) {
            lists.append(QStringList());
            for (const AppItem &item : update->apps)
                lists.last().append(item.bundleIdentifier);
        }
    }
    return lists;
}

} // namespace

class TestUiModels : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_home;
    std::unique_ptr<MacAppStore> m_store;
    std::unique_ptr<MacServerService> m_server;

private slots:
    void initTestCase()
    {
        m_home = std::make_unique<TemporaryHome>();
        for (const QString name : {"Safari", "Mail", "Terminal", "Calculator", "Éclair Notes", "Numbers"})
            makeAppBundle(m_home->applications(), name, "org.sample." + name.left(4).toLower(), 64);
        // A bundle identifier that no name contains.
        makeAppBundle(m_home->applications(), "Postbox", "com.mailer.zzz", 0);
    }

    void init()
    {
        m_store = std::make_unique<MacAppStore>();
        QVERIFY(waitForCatalogue(*m_store));
        m_store->removeSelections({0, 1, 2, 3, 4, 5, 6, 7}); // a fresh selection for every test
        m_server = std::make_unique<MacServerService>(*m_store);
    }

    void cleanup()
    {
        m_server.reset();
        m_store.reset();
    }

    // Names only, case-insensitively, in the catalogue's order; rows leave
    // and come back one by one, without a reset.
    void filterMatchesNamesCaseInsensitively()
    {
        InstalledAppsModel model;
        model.setStore(m_store.get());
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QCOMPARE(names(model.filteredApps()), names(m_store->allInstalledApps()));
        const int all = model.rowCount();
        const QList<std::pair<QString, QStringList>> cases{
            {"safa", {"Safari"}}, {"SAFA", {"Safari"}}, {"éCLAIR", {"Éclair Notes"}},
            {"mailer", {}}, {"Applications", {}}, {"L", {"Calculator", "Éclair Notes", "Mail", "Terminal"}}};
        for (const auto &[search, expected] : cases) {
            model.setSearchText(search);
            QStringList inCatalogueOrder = names(m_store->allInstalledApps());
            inCatalogueOrder.removeIf([&](const QString &name) { return !expected.contains(name); });
            QCOMPARE(names(model.filteredApps()), inCatalogueOrder);
            QCOMPARE(model.rowCount(), expected.size());
        }
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.setSearchText(QString());
        QCOMPARE(inserted.size(), all - 4);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(names(model.filteredApps()), names(m_store->allInstalledApps()));
    }

    void toggleMarksRowSelected()
    {
        InstalledAppsModel model;
        model.setStore(m_store.get());
        model.setSearchText("term");
        QCOMPARE(model.rowCount(), 1);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.toggle(0);
        QCOMPARE(m_store->selectedApps().first().bundleIdentifier, QString("org.sample.term"));
        QVERIFY(!changed.isEmpty());
        QCOMPARE(model.data(model.index(0), InstalledAppsModel::IsSelectedRole).toBool(), true);
        model.toggle(0);
        QVERIFY(m_store->selectedApps().isEmpty());
        QCOMPARE(model.data(model.index(0), InstalledAppsModel::IsSelectedRole).toBool(), false);
    }

    void selectedRowsShowSlotsAfterMoveAndRemove()
    {
        // Garbage in the cached icon file becomes the item's bytes: no icon.
        QFile cached(m_store->iconCacheDirectory() + "/org.sample.numb.png");
        QVERIFY(cached.open(QIODevice::WriteOnly) && cached.write("not an image"));
        cached.close();
        toggleApps(*m_store, {"Safari", "Mail", "Numbers"});
        SelectedAppsModel model;
        model.setStore(m_store.get());
        QCOMPARE(model.data(model.index(0), SelectedAppsModel::HasIconRole).toBool(), true);
        QCOMPARE(model.data(model.index(2), SelectedAppsModel::HasIconRole).toBool(), false);
        QFile::remove(cached.fileName());
        const auto rows = [&] {
            QStringList result;
            for (int i = 0; i < model.rowCount(); ++i)
                result.append(model.data(model.index(i), SelectedAppsModel::DisplayNameRole).toString() + ":" +
                              model.data(model.index(i), SelectedAppsModel::SlotRole).toString());
            return result;
        };
        QCOMPARE(rows(), (QStringList{"Safari:1", "Mail:2", "Numbers:3"}));
        model.move(2, 0); // the third row dragged to the top
        QCOMPARE(rows(), (QStringList{"Numbers:1", "Safari:2", "Mail:3"}));
        model.move(0, 3); // the top row dragged below the last
        model.move(1, 7); // a destination outside the list is ignored
        QCOMPARE(rows(), (QStringList{"Safari:1", "Mail:2", "Numbers:3"}));
        QSignalSpy count(&model, &SelectedAppsModel::countChanged);
        model.remove(1);
        model.remove(5);
        QCOMPARE(rows(), (QStringList{"Safari:1", "Numbers:2"}));
        QCOMPARE(count.size(), 1);
    }

    void iconProviderRendersAtAskedSizeWithRoundedCorners()
    {
        AppIconProvider provider;
        QSize askedOfSource;
        provider.setSource("app/x", [&](const QSize &size) {
            askedOfSource = size;
            QImage image(512, 512, QImage::Format_ARGB32);
            image.fill(Qt::red);
            return image;
        });
        QSize size;
        const QImage icon = provider.requestImage("app/x?radius=8&side=36", &size, QSize(72, 72));
        QCOMPARE(askedOfSource, QSize(72, 72)); // decoded at the size shown, not in full
        QCOMPARE(size, QSize(72, 72));
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // corner radius 16 at twice the size
        QCOMPARE(qAlpha(icon.pixel(71, 71)), 0);
        QCOMPARE(QColor(icon.pixel(36, 0)), QColor(Qt::red));
        QVERIFY(provider.requestImage("app/unknown", &size, QSize(36, 36)).isNull());
        provider.removeSource("app/x");
        QVERIFY(provider.requestImage("app/x", &size, QSize(36, 36)).isNull());
    }

    // The list goes out 0.05 s after each change, with the selection as it is
    // then, and only while a phone is connected and the picker is shown.
    void pushSendsOneCurrentListPerChangeOnlyWhileConnected()
    {
        auto push = std::make_unique<SelectionPush>();
        push->setStore(m_store.get());
        push->setServer(m_server.get());
        toggleApps(*m_store, {"Safari"}); // no phone yet
        QTest::qWait(150);
        m_server->setListeningPort(0);
        m_server->startListening();
        QVERIFY(m_server->listener());
        TestPhone phone(m_server->listener()->port());
        QTRY_VERIFY(m_server->isConnected());
        QTest::qWait(100);
        QCOMPARE(appLists(phone).size(), 0); // arriving is not a change

        QElapsedTimer clock;
        clock.start();
        toggleApps(*m_store, {"Mail"});
        QTRY_COMPARE(appLists(phone).size(), 1);
        QVERIFY2(clock.elapsed() >= 45, "the list goes out 0.05 s after the change");
        QCOMPARE(appLists(phone).last(), (QStringList{"org.sample.safa", "org.sample.mail"}));
        // Two quick changes: two lists, each with the selection as it is now.
        toggleApps(*m_store, {"Safari", "Terminal"});
        QTRY_COMPARE(appLists(phone).size(), 3);
        const QStringList current{"org.sample.mail", "org.sample.term"};
        QCOMPARE(appLists(phone).mid(1), (QList<QStringList>{current, current}));
        push.reset(); // the picker is no longer shown
        toggleApps(*m_store, {"Mail"});
        QTest::qWait(250);
        QCOMPARE(appLists(phone).size(), 3);
    }
};

QTEST_MAIN(TestUiModels)
#include "tst_uimodels.moc"
