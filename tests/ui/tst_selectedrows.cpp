// The "On iPhone" rows: the highlight follows a dragged row, so that Delete
// removes the app the user sees selected; each row has its remove button.
// And the picker shows its scroll bar only when there is something to scroll.
#include "UiFixtures.h"

#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"
#include "ui/TendrilUi.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

class SelectedRowsTest : public QObject {
    Q_OBJECT

    QQuickWindow *window = nullptr;
    // The visual tree, where the views put their delegates.
    QQuickItem *named(const QString &name, QQuickItem *from = nullptr)
    {
        from = from ? from : window->contentItem();
        QQuickItem *found = from->objectName() == name ? from : nullptr;
        for (QQuickItem *child : from->childItems())
            found = found ? found : named(name, child);
        return found;
    }
    QPoint centreOf(QQuickItem *item) { return item->mapToScene({item->width() / 2, item->height() / 2}).toPoint(); }

private slots:
    void rows()
    {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        TemporaryHome home;
        makeCatalogue(home.applications(), 14, 16);
        MacAppStore store;
        QVERIFY(waitForCatalogue(store));
        MacServerService server(store);
        QQmlApplicationEngine engine;
        installTendrilUi(engine);
        engine.setInitialProperties({{"appStore", QVariant::fromValue(&store)}, {"server", QVariant::fromValue(&server)}});
        engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tendril/Ui/MainWindow.qml")));
        window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QQuickItem *picker = named("appPicker");
        const auto scrollPolicy = [&] { return named("appListScrollBar")->property("policy").toInt(); };
        QTRY_COMPARE(scrollPolicy(), int(Qt::ScrollBarAlwaysOn)); // fourteen rows do not fit
        picker->setProperty("searchText", "Safari");
        QTRY_COMPARE(scrollPolicy(), int(Qt::ScrollBarAlwaysOff));

        toggleApps(store, {"Safari", "Mail", "Terminal"});
        named("mainView")->setProperty("selectedTab", 1);
        QTRY_VERIFY(named("slotRow_2"));
        const QPoint start = centreOf(named("slotRow_2"));
        QTest::mousePress(window, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(window, start - QPoint(0, 10 * step), 10);
        QTest::mouseRelease(window, Qt::LeftButton, {}, start - QPoint(0, 100), 10);
        QTRY_COMPARE(store.selectedApps().first().displayName, QStringLiteral("Terminal"));
        QTest::keyClick(window, Qt::Key_Delete);
        QCOMPARE(store.selectedApps().size(), 2);
        QCOMPARE(store.selectedApps().first().displayName, QStringLiteral("Safari"));

        QQuickItem *remove = named("removeButton", named("slotRow_1"));
        QTest::mouseMove(window, centreOf(named("slotRow_1")));
        QTRY_VERIFY(remove->isVisible());
        QTest::mouseClick(window, Qt::LeftButton, {}, centreOf(remove));
        QCOMPARE(store.selectedApps().size(), 1);
        QCOMPARE(store.selectedApps().first().displayName, QStringLiteral("Safari"));
    }
};

QTEST_MAIN(SelectedRowsTest)
#include "tst_selectedrows.moc"
