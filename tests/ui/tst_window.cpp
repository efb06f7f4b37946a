// The window's behaviour through its QML object tree, over a real store and
// server in a temporary home, with a phone connecting over loopback.
#include "LoopbackPhone.h"
#include "UiFixtures.h"

#include "app/TendrilApp.h"
#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"
#include "ui/TendrilUi.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <memory>

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

QPoint centreOf(QQuickItem *item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pinCardShowsOneBoxPerCharacterOnceStarted();
    void statusLineFollowsConnection();
    void counterAndRingFollowSelection();
    void rowsBeyondEightAreDimmedAndIgnoreClicks();
    void searchFiltersAndSurvivesPageSwitch();
    void onIPhoneShowsEmptyStateAndDeletes();
    void draggingThirdRowToTopRenumbersSlots();
    void aboutShowsFixedVersionAndFeatures();
    void shellStartsListeningOnlyWhenStopped();

private:
    void loadWindow();
    void showTab(const char *title);
    void click(QQuickItem *target) { QTest::mouseClick(m_window, Qt::LeftButton, {}, centreOf(target)); }
    // The one item of that name under `root` (the window's content by
    // default), or nullptr; and its text.
    QQuickItem *item(const char *name, QQuickItem *root = nullptr);
    QString text(const char *name, QQuickItem *root = nullptr);

    std::unique_ptr<TemporaryHome> m_home;
    std::unique_ptr<MacAppStore> m_store;
    std::unique_ptr<MacServerService> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
};

void TestWindow::initTestCase()
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    m_home = std::make_unique<TemporaryHome>();
    makeCatalogue(m_home->applications(), 14, 64);
}

void TestWindow::init()
{
    m_store = std::make_unique<MacAppStore>();
    QVERIFY(waitForCatalogue(*m_store));
    while (!m_store->selectedApps().isEmpty())
        m_store->removeSelections({0});
    m_server = std::make_unique<MacServerService>(*m_store);
    m_server->setListeningPort(0);
    loadWindow();
    QVERIFY(m_window);
}

void TestWindow::cleanup()
{
    m_engine.reset();
    m_window = nullptr;
    m_server.reset();
    m_store.reset();
}

// The window as the shell makes it, but without the shell's start-up.
void TestWindow::loadWindow()
{
    m_engine = std::make_unique<QQmlApplicationEngine>();
    installTendrilUi(*m_engine);
    m_engine->setInitialProperties({
        {QStringLiteral("appStore"), QVariant::fromValue(m_store.get())},
        {QStringLiteral("server"), QVariant::fromValue(m_server.get())},
    });
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Tendril/Ui/MainWindow.qml")));
    m_window = m_engine->rootObjects().isEmpty()
        ? nullptr
        : qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    if (m_window) {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }
}

void TestWindow::showTab(const char *title)
{
    QQuickItem *row = item(qPrintable(QStringLiteral("navRow_") + QLatin1String(title)));
    QVERIFY(row);
    click(row);
}

QQuickItem *TestWindow::item(const char *name, QQuickItem *root)
{
    const QList<QQuickItem *> found = itemsNamed(root ? root : m_window->contentItem(), QLatin1String(name));
    return found.size() == 1 ? found.first() : nullptr;
}

QString TestWindow::text(const char *name, QQuickItem *root)
{
    QQuickItem *found = item(name, root);
    return found ? found->property("text").toString() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

void TestWindow::pinCardShowsOneBoxPerCharacterOnceStarted()
{
    QVERIFY(m_server->pin().isEmpty());
    QVERIFY(item("pinCard"));
    QCOMPARE(itemsNamed(m_window->contentItem(), QStringLiteral("pinDigit")).size(), 0);

    // A PIN with leading and repeated digits still gets one box per
    // character: this word draws 77 of 10000 (0.0077 of the word range).
    m_server->setRandomWordSource([] { return quint64(142039929367563548ull); });
    m_server->startListening();
    QCOMPARE(m_server->pin(), QStringLiteral("0077"));
    const QList<QQuickItem *> boxes = itemsNamed(m_window->contentItem(), QStringLiteral("pinDigit"));
    QCOMPARE(boxes.size(), 4);
    QString shown;
    for (QQuickItem *box : boxes)
        shown += box->property("character").toString();
    QCOMPARE(shown, QStringLiteral("0077"));
    QCOMPARE(boxes.first()->width(), 38.0);
    QCOMPARE(boxes.first()->height(), 46.0);
}

void TestWindow::statusLineFollowsConnection()
{
    QQuickItem *dot = item("statusDot");
    QVERIFY(dot);
    QCOMPARE(text("statusText"), QStringLiteral("Waiting for iPhone"));
    QCOMPARE(dot->property("color").value<QColor>(), QColor::fromRgbF(1, 1, 1, 0.25));

    // The line stays 20 above the bottom edge however tall the window is.
    QQuickItem *line = item("statusLine");
    QVERIFY(line);
    for (int height : {480, 900}) {
        m_window->resize(640, height);
        QTRY_COMPARE(line->mapToScene(QPointF(0, line->height())).y(), height - 20.0);
    }

    m_server->startListening();
    QVERIFY(m_server->listener());
    auto phone = std::make_unique<LoopbackPhone>(m_server->listener()->port());
    QTRY_COMPARE(text("statusText"), QStringLiteral("iPhone Connected"));
    QCOMPARE(dot->property("color").value<QColor>(), QColor::fromRgbF(0.3, 0.95, 0.45));
    QCOMPARE(m_server->serverState(), ServerState::connected); // not paired: still shown

    const QString pin = m_server->pin();
    phone.reset();
    QTRY_COMPARE(text("statusText"), QStringLiteral("Waiting for iPhone"));
    QCOMPARE(dot->property("color").value<QColor>(), QColor::fromRgbF(1, 1, 1, 0.25));
    QCOMPARE(m_server->pin(), pin);
}

void TestWindow::counterAndRingFollowSelection()
{
    QQuickItem *ring = item("progressRing");
    QVERIFY(ring);
    QCOMPARE(text("counter"), QStringLiteral("0 of 8 selected"));
    QCOMPARE(ring->property("fraction").toReal(), 0.0);
    QCOMPARE(ring->property("shownFraction").toReal(), 0.0);

    toggleApps(*m_store, {"Safari", "Mail", "Notes", "Music"});
    QCOMPARE(text("counter"), QStringLiteral("4 of 8 selected"));
    QCOMPARE(text("ringCount"), QStringLiteral("4"));
    QCOMPARE(ring->property("fraction").toReal(), 0.5);
    // The arc springs towards half and settles there.
    QTRY_VERIFY(qAbs(ring->property("shownFraction").toReal() - 0.5) < 1e-6);
}

void TestWindow::rowsBeyondEightAreDimmedAndIgnoreClicks()
{
    const QStringList eight = sampleAppNames(14).mid(0, 8);
    toggleApps(*m_store, eight);
    QCOMPARE(m_store->selectedApps().size(), 8);
    QCOMPARE(text("counter"), QStringLiteral("8 of 8 selected"));
    QCOMPARE(item("progressRing")->property("fraction").toReal(), 1.0);

    // Finder is not selected: dimmed, disabled and deaf to clicks.
    QQuickItem *finder = item("appRow_com.apple.finder");
    QVERIFY(finder);
    QCOMPARE(finder->opacity(), 0.3);
    QVERIFY(!finder->isEnabled());
    click(finder);
    QTest::qWait(50);
    QCOMPARE(m_store->selectedApps().size(), 8);

    // A selected row stays at full opacity and can still be removed.
    QQuickItem *calendar = item("appRow_com.example.calendar");
    QVERIFY(calendar);
    QCOMPARE(calendar->opacity(), 1.0);
    click(calendar);
    QTRY_COMPARE(m_store->selectedApps().size(), 7);
    QCOMPARE(finder->opacity(), 1.0);
    QVERIFY(finder->isEnabled());
}

void TestWindow::searchFiltersAndSurvivesPageSwitch()
{
    QQuickItem *field = item("searchField");
    QVERIFY(field);
    QQuickItem *clear = item("clearSearch");
    QVERIFY(clear && !clear->isVisible());
    const int all = m_store->allInstalledApps().size();
    QQuickItem *list = item("appList");
    QCOMPARE(list->property("count").toInt(), all);

    click(field);
    for (char key : {'S', 'A', 'F', 'A'})
        QTest::keyClick(m_window, key, Qt::ShiftModifier);
    QCOMPARE(field->property("text").toString(), QStringLiteral("SAFA"));
    QCOMPARE(list->property("count").toInt(), 1);
    QVERIFY(item("appRow_com.example.safari"));
    QVERIFY(clear->isVisible());

    showTab("About");
    QVERIFY(item("aboutView"));
    QCOMPARE(item("searchField"), nullptr);
    showTab("Apps");
    field = item("searchField");
    list = item("appList");
    QVERIFY(field && list);
    QCOMPARE(field->property("text").toString(), QStringLiteral("SAFA"));
    QCOMPARE(list->property("count").toInt(), 1);

    // Clicking the row of the page already shown changes nothing.
    showTab("Apps");
    QCOMPARE(item("searchField"), field);

    clear = item("clearSearch");
    click(clear);
    QCOMPARE(field->property("text").toString(), QString());
    QCOMPARE(list->property("count").toInt(), all);
    QVERIFY(!clear->isVisible());
}

void TestWindow::onIPhoneShowsEmptyStateAndDeletes()
{
    showTab("On iPhone");
    QQuickItem *empty = item("emptyState");
    QVERIFY(empty && empty->isVisible());
    QVERIFY(!item("selectedList")->isVisible());

    toggleApps(*m_store, {"Safari"});
    QVERIFY(!empty->isVisible());
    QCOMPARE(text("slotLabel"), QStringLiteral("Slot 1"));

    // The list lays its rows out on the next frame; then one is clicked and
    // deleted. Removing the last item brings the empty state back at once.
    QTest::qWait(100);
    click(item("slotRow_0"));
    QTest::keyClick(m_window, Qt::Key_Delete);
    QVERIFY(m_store->selectedApps().isEmpty());
    QVERIFY(empty->isVisible());
}

void TestWindow::draggingThirdRowToTopRenumbersSlots()
{
    toggleApps(*m_store, {"Safari", "Mail", "Terminal"});
    showTab("On iPhone");
    QQuickItem *third = item("slotRow_2");
    QVERIFY(third);

    const QPoint start = centreOf(third);
    QTest::mousePress(m_window, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 10; ++step)
        QTest::mouseMove(m_window, start - QPoint(0, int(third->height() * 2 * step / 10)), 10);
    QTest::mouseRelease(m_window, Qt::LeftButton, {},
                        start - QPoint(0, int(third->height() * 2)), 10);

    QTRY_COMPARE(m_store->selectedApps().first().displayName, QStringLiteral("Terminal"));
    QStringList labels, names;
    for (const char *row : {"slotRow_0", "slotRow_1", "slotRow_2"}) {
        QQuickItem *slot = item(row);
        QVERIFY(slot);
        labels.append(text("slotLabel", slot));
        names.append(text("slotName", slot));
    }
    QCOMPARE(labels, (QStringList{"Slot 1", "Slot 2", "Slot 3"}));
    QCOMPARE(names, (QStringList{"Terminal", "Safari", "Mail"}));
}

void TestWindow::aboutShowsFixedVersionAndFeatures()
{
    showTab("About");
    QCOMPARE(text("version"), QStringLiteral("Version 1.0"));
    QQuickItem *about = item("aboutView");
    QVERIFY(about);
    QStringList features;
    std::function<void(QQuickItem *)> walk = [&](QQuickItem *at) {
        if (at->property("icon").isValid() && at->property("text").isValid())
            features.append(at->property("text").toString());
        for (QQuickItem *child : at->childItems())
            walk(child);
    };
    walk(about);
    QCOMPARE(features, (QStringList{
                           "Works over local Wi-Fi via Bonjour",
                           "PIN-secured pairing, no cloud required",
                           QString::fromUtf8("Real-time sync \u2014 instant updates"),
                           "Quick Actions, Clipboard, Drag & Drop",
                       }));
}

void TestWindow::shellStartsListeningOnlyWhenStopped()
{
    cleanup(); // the shell makes its own store and server

    TendrilApp app;
    app.server().setListeningPort(0);
    QCOMPARE(app.server().serverState(), ServerState::stopped);
    QVERIFY(app.server().pin().isEmpty());

    QQuickWindow *window = app.showWindow();
    QVERIFY(window);
    QCOMPARE(window->minimumWidth(), 560);
    QCOMPARE(window->minimumHeight(), 480);
    QCOMPARE(window->width(), 640);
    QTRY_VERIFY(app.server().serverState() != ServerState::stopped);
    const QString pin = app.server().pin();
    QCOMPARE(pin.size(), 4);
    TcpListener *listener = app.server().listener();

    // Shown again while advertising: the listener and the PIN stay.
    QSignalSpy appeared(&app, &TendrilApp::windowAppeared);
    window->hide();
    QCOMPARE(app.showWindow(), window);
    QCOMPARE(appeared.size(), 1);
    QCOMPARE(app.server().pin(), pin);
    QCOMPARE(app.server().listener(), listener);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
