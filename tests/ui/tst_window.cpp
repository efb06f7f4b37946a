// The window's behaviour through its QML object tree, over a real store and
// server in a temporary home, with a phone connecting over loopback.
#include "UiFixtures.h"

#include "app/TendrilApp.h"
#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"
#include "tests/server/TestPhone.h"
#include "ui/TendrilUi.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

namespace {

QList<QQuickItem *> itemsNamed(QQuickItem *root, const QString &name)
{
    QList<QQuickItem *> found;
    if (root->objectName() == name)
        found.append(root);
    for (QQuickItem *child : root->childItems())
        found += itemsNamed(child, name);
    return found;
}

QPoint centreOf(QQuickItem *item) { return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint(); }

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_home;
    std::unique_ptr<MacAppStore> m_store;
    std::unique_ptr<MacServerService> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;

    void click(QQuickItem *target) { QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(target)); }
    void showTab(const char *title) { click(item(QByteArray("navRow_") + title)); }
    // The one item of that name under `root` (the window's content by default).
    QQuickItem *item(const QByteArray &name, QQuickItem *root = nullptr)
    {
        const QList<QQuickItem *> found = itemsNamed(root ? root : m_window->contentItem(), name);
        if (found.size() != 1)
            qFatal("%lld items named %s", qlonglong(found.size()), name.constData());
        return found.first();
    }
    QString text(const char *name, QQuickItem *root = nullptr) { return item(name, root)->property("text").toString(); }
    int listCount() { return item("appList")->property("count").toInt(); }

private slots:
    void initTestCase()
    {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        m_home = std::make_unique<TemporaryHome>();
        makeCatalogue(m_home->applications(), 14, 64);
    }

    // The window as the shell makes it, without the shell's start-up.
    void init()
    {
        m_store = std::make_unique<MacAppStore>();
        QVERIFY(waitForCatalogue(*m_store));
        m_store->removeSelections({0, 1, 2, 3, 4, 5, 6, 7});
        m_server = std::make_unique<MacServerService>(*m_store);
        m_server->setListeningPort(0);
        m_engine = std::make_unique<QQmlApplicationEngine>();
        installTendrilUi(*m_engine);
        m_engine->setInitialProperties({{"appStore", QVariant::fromValue(m_store.get())},
                                        {"server", QVariant::fromValue(m_server.get())}});
        m_engine->load(QUrl("qrc:/qt/qml/Tendril/Ui/MainWindow.qml"));
        QVERIFY(!m_engine->rootObjects().isEmpty());
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup()
    {
        m_engine.reset();
        m_server.reset();
        m_store.reset();
    }

    // One box per character once started, leading and repeated digits too:
    // this word draws 77 of 10000.
    void pinCardShowsOneBoxPerCharacterOnceStarted()
    {
        QVERIFY(item("pinCard"));
        QCOMPARE(itemsNamed(m_window->contentItem(), "pinDigit").size(), 0);
        m_server->setRandomWordSource([] { return quint64(142039929367563548ull); });
        m_server->startListening();
        QCOMPARE(m_server->pin(), QStringLiteral("0077"));
        const QList<QQuickItem *> boxes = itemsNamed(m_window->contentItem(), "pinDigit");
        QString shown;
        for (QQuickItem *box : boxes)
            shown += box->property("character").toString();
        QCOMPARE(shown, QStringLiteral("0077"));
        QCOMPARE(QSizeF(boxes.first()->width(), boxes.first()->height()), QSizeF(38, 46));
    }

    void statusLineFollowsConnection()
    {
        const auto dotColour = [&] { return item("statusDot")->property("color").value<QColor>(); };
        QCOMPARE(text("statusText"), QStringLiteral("Waiting for iPhone"));
        QCOMPARE(dotColour(), QColor::fromRgbF(1, 1, 1, 0.25));
        // The line stays 20 above the bottom edge however tall the window is.
        QQuickItem *line = item("statusLine");
        for (int height : {480, 900}) {
            m_window->resize(640, height);
            QTRY_COMPARE(line->mapToScene(QPointF(0, line->height())).y(), height - 20.0);
        }
        m_server->startListening();
        auto phone = std::make_unique<TestPhone>(m_server->listener()->port());
        QTRY_COMPARE(text("statusText"), QStringLiteral("iPhone Connected")); // not paired: still shown
        QCOMPARE(dotColour(), QColor::fromRgbF(0.3, 0.95, 0.45));
        const QString pin = m_server->pin();
        phone.reset();
        QTRY_COMPARE(text("statusText"), QStringLiteral("Waiting for iPhone"));
        QCOMPARE(dotColour(), QColor::fromRgbF(1, 1, 1, 0.25));
        QCOMPARE(m_server->pin(), pin);
    }

    // Counter and ring follow the selection; beyond eight, unselected rows
    // are dimmed and deaf to clicks while selected ones can still go.
    void counterRingAndTheLimitOfEight()
    {
        QQuickItem *ring = item("progressRing");
        QCOMPARE(text("counter"), QStringLiteral("0 of 8 selected"));
        toggleApps(*m_store, {"Safari", "Mail", "Notes", "Music"});
        QCOMPARE(text("counter"), QStringLiteral("4 of 8 selected"));
        QCOMPARE(text("ringCount"), QStringLiteral("4"));
        QCOMPARE(ring->property("fraction").toReal(), 0.5);
        QTRY_VERIFY(qAbs(ring->property("shownFraction").toReal() - 0.5) < 1e-6); // springs, then settles
        toggleApps(*m_store, {"Calendar", "Photos", "Messages", "Maps"});
        QCOMPARE(text("counter"), QStringLiteral("8 of 8 selected"));
        QCOMPARE(ring->property("fraction").toReal(), 1.0);
        QQuickItem *finder = item("appRow_com.apple.finder");
        QCOMPARE(finder->opacity(), 0.3);
        QVERIFY(!finder->isEnabled());
        click(finder);
        QTest::qWait(50);
        QCOMPARE(m_store->selectedApps().size(), 8);
        QQuickItem *calendar = item("appRow_com.example.calendar");
        QCOMPARE(calendar->opacity(), 1.0);
        click(calendar);
        QTRY_COMPARE(m_store->selectedApps().size(), 7);
        QCOMPARE(finder->opacity(), 1.0);
        QVERIFY(finder->isEnabled());
    }

    void searchFiltersAndSurvivesPageSwitch()
    {
        const int all = m_store->allInstalledApps().size();
        QCOMPARE(listCount(), all);
        QVERIFY(!item("clearSearch")->isVisible());
        click(item("searchField"));
        for (char key : {'S', 'A', 'F', 'A'})
            QTest::keyClick(m_window, key, Qt::ShiftModifier);
        QCOMPARE(text("searchField"), QStringLiteral("SAFA"));
        QCOMPARE(listCount(), 1);
        QVERIFY(item("appRow_com.example.safari"));
        QVERIFY(item("clearSearch")->isVisible());
        showTab("About");
        QVERIFY(itemsNamed(m_window->contentItem(), "searchField").isEmpty());
        showTab("Apps");
        QQuickItem *field = item("searchField");
        QCOMPARE(field->property("text").toString(), QStringLiteral("SAFA"));
        QCOMPARE(listCount(), 1);
        showTab("Apps"); // the page already shown: nothing changes
        QCOMPARE(item("searchField"), field);
        click(item("clearSearch"));
        QCOMPARE(field->property("text").toString(), QString());
        QCOMPARE(listCount(), all);
        QVERIFY(!item("clearSearch")->isVisible());
    }

    void onIPhoneShowsEmptyStateAndDeletes()
    {
        showTab("On iPhone");
        QQuickItem *empty = item("emptyState");
        QVERIFY(empty->isVisible() && !item("selectedList")->isVisible());
        toggleApps(*m_store, {"Safari"});
        QVERIFY(!empty->isVisible());
        QCOMPARE(text("slotLabel"), QStringLiteral("Slot 1"));
        QTest::qWait(100); // rows are laid out on the next frame
        click(item("slotRow_0"));
        QTest::keyClick(m_window, Qt::Key_Delete);
        QVERIFY(m_store->selectedApps().isEmpty());
        QVERIFY(empty->isVisible());
    }

    void draggingThirdRowToTopRenumbersSlots()
    {
        toggleApps(*m_store, {"Safari", "Mail", "Terminal"});
        showTab("On iPhone");
        QQuickItem *third = item("slotRow_2");
        const QPoint start = centreOf(third);
        QTest::mousePress(m_window, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(m_window, start - QPoint(0, int(third->height() * 2 * step / 10)), 10);
        QTest::mouseRelease(m_window, Qt::LeftButton, {}, start - QPoint(0, int(third->height() * 2)), 10);
        QTRY_COMPARE(m_store->selectedApps().first().displayName, QStringLiteral("Terminal"));
        QStringList rows;
        for (const char *row : {"slotRow_0", "slotRow_1", "slotRow_2"})
            rows.append(text("slotLabel", item(row)) + " " + text("slotName", item(row)));
        QCOMPARE(rows, (QStringList{"Slot 1 Terminal", "Slot 2 Safari", "Slot 3 Mail"}));
    }

    // The shell starts listening when the window is shown; shown again while
    // advertising, the listener and the PIN stay.
    void shellStartsListeningOnlyWhenStopped()
    {
        cleanup(); // the shell makes its own store and server
        TendrilApp app;
        app.server().setListeningPort(0);
        QCOMPARE(app.server().serverState(), ServerState::stopped);
        QQuickWindow *window = app.showWindow();
        QVERIFY(window);
        QCOMPARE(QSize(window->minimumWidth(), window->minimumHeight()), QSize(560, 480));
        QCOMPARE(window->width(), 640);
        QTRY_VERIFY(app.server().serverState() != ServerState::stopped);
        const QString pin = app.server().pin();
        QCOMPARE(pin.size(), 4);
        TcpListener *listener = app.server().listener();
        QSignalSpy appeared(&app, &TendrilApp::windowAppeared);
        window->hide();
        QCOMPARE(app.showWindow(), window);
        QCOMPARE(appeared.size(), 1);
        QCOMPARE(app.server().pin(), pin);
        QCOMPARE(app.server().listener(), listener);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

