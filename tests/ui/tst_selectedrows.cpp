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

namespace {

// In the visual tree, where the views put their delegates.
QQuickItem *named(QQuickItem *from, const QString &name)
{
    QQuickItem *found = from->objectName() == name ? from : nullptr;
    for (QQuickItem *child : from->childItems())
        found = found ? found : named(child, name);
    return found;
}

QPoint centreOf(QQuickItem *item)
{
    return item->mapToScene({item->width() / 2, item->height() / 2}).toPoint();
}

} // namespace

class SelectedRowsTest : public QObject {
    Q_OBJECT
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
        engine.setInitialProperties({{"appStore", QVariant::fromValue(&store)},
                                     {"server", QVariant::fromValue(&server)}});
        engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tendril/Ui/MainWindow.qml")));
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
        QVERIFY(window);
        window->show();
        QQuickItem *root = window->contentItem();

        const auto scrollBar = [&] { return named(root, "appListScrollBar")->property("policy"); };
        QTRY_COMPARE(scrollBar().toInt(), int(Qt::ScrollBarAlwaysOn));
        named(root, "appPicker")->setProperty("searchText", "Safari"); // one row: nothing to scroll
        QTRY_COMPARE(scrollBar().toInt(), int(Qt::ScrollBarAlwaysOff));

        toggleApps(store, {"Safari", "Mail", "Terminal"});
        named(root, "mainView")->setProperty("selectedTab", 1);
        QTRY_VERIFY(named(root, "slotRow_2"));
        const QPoint start = centreOf(named(root, "slotRow_2"));
        QTest::mousePress(window, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(window, start - QPoint(0, 10 * step), 10);
        QTest::mouseRelease(window, Qt::LeftButton, {}, start - QPoint(0, 100), 10);
        QTRY_COMPARE(store.selectedApps().first().displayName, QStringLiteral("Terminal"));
        QTest::keyClick(window, Qt::Key_Delete); // the dragged row, highlighted
        QCOMPARE(store.selectedApps().first().displayName, QStringLiteral("Safari"));

        QTest::mouseMove(window, centreOf(named(root, "slotRow_1")));
        QQuickItem *remove = named(named(root, "slotRow_1"), "removeButton");
        QTRY_VERIFY(remove->isVisible());
        QTest::mouseClick(window, Qt::LeftButton, {}, centreOf(remove));
        QCOMPARE(store.selectedApps().size(), 1);
        QCOMPARE(store.selectedApps().first().displayName, QStringLiteral("Safari"));
    }
};

QTEST_MAIN(SelectedRowsTest)
#include "tst_selectedrows.moc"
