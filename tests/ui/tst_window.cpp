// The window's models and its behaviour through its QML object tree, over a
// real store and server in a temporary home, with a phone over loopback.
#include "UiFixtures.h"
#include "tests/catalogue/DesktopFixtures.h"

#include "app/TendrilApp.h"
#include "catalogue/MacAppStore.h"
#include "server/AppSettings.h"
#include "server/MacServerService.h"
#include "tests/server/TestPhone.h"
#include "ui/AppIconProvider.h"
#include "ui/InstalledAppsModel.h"
#include "ui/MacTab.h"
#include "ui/QrCodeProvider.h"
#include "ui/SelectedAppsModel.h"
#include "ui/TendrilUi.h"
#include "web/WebRemote.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QPainter>
#include <QProcess>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTest>
#include "tests/TestTime.h"

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
        { // Only the first record found: the picker's note names both kinds of folder.
            MacAppStore store;
            InstalledAppsModel model;
            model.setStore(&store);
            QVERIFY(waitForCatalogue(store) && store.allInstalledApps().size() == 1);
            for (const char *folders : {"/System/Library/CoreServices, ~/Applications",
                                        "~/.local/share/applications, ~/.system-data/applications"})
                QVERIFY2(model.sourcesNote().contains(folders), qPrintable(model.sourcesNote()));
        }
        makeCatalogue(m_home->applications(), 14, 64);
        for (const QString name : {"Calculator", "Éclair Notes", "Numbers"})
            makeAppBundle(m_home->applications(), name, "com.example." + name.toLower().remove(' '), 64);
        // A bundle identifier that no name contains.
        makeAppBundle(m_home->applications(), "Postbox", "com.mailer.zzz", 0);
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

    // Names only, case-insensitively, in the catalogue's order; rows leave
    // and come back one by one, without a reset.
    void filterMatchesNamesCaseInsensitively()
    {
        InstalledAppsModel model;
        model.setStore(m_store.get());
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QCOMPARE(appNames(model.filteredApps()), appNames(m_store->allInstalledApps()));
        const int all = model.rowCount();
        const QList<std::pair<QString, QStringList>> cases{
            {"safa", {"Safari"}}, {"SAFA", {"Safari"}}, {"éCLAIR", {"Éclair Notes"}},
            {"mailer", {}}, {"Applications", {}}, {"AR", {"Calendar", "Safari"}}};
        for (const auto &[search, expected] : cases) {
            model.setSearchText(search);
            QCOMPARE(appNames(model.filteredApps()), expected); // in the catalogue's order
            QCOMPARE(model.rowCount(), expected.size());
        }
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.setSearchText(QString());
        QCOMPARE(inserted.size(), all - 2);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(appNames(model.filteredApps()), appNames(m_store->allInstalledApps()));
    }

    void selectedRowsShowSlotsAfterMoveAndRemove()
    {
        // Garbage in the cached icon file becomes the item's bytes: no icon.
        QVERIFY(writeFile(m_store->iconCacheDirectory() + "/com.example.numbers.png", "not an image"));
        toggleApps(*m_store, {"Safari", "Mail", "Numbers"});
        SelectedAppsModel model;
        model.setStore(m_store.get());
        QSignalSpy count(&model, &SelectedAppsModel::countChanged);
        const auto rows = [&] {
            QString result;
            for (int i = 0; i < model.rowCount(); ++i)
                result += QString("%1:%2:%3 ").arg(model.data(model.index(i), SelectedAppsModel::DisplayNameRole).toString(),
                                                   model.data(model.index(i), SelectedAppsModel::SlotRole).toString(),
                                                   model.data(model.index(i), SelectedAppsModel::HasIconRole).toString());
            return result.trimmed();
        };
        QCOMPARE(rows(), "Safari:1:true Mail:2:true Numbers:3:false");
        model.move(2, 0); // the third row dragged to the top
        QCOMPARE(rows(), "Numbers:1:false Safari:2:true Mail:3:true");
        model.move(0, 3); // the top row dragged below the last
        model.move(1, 7); // a destination outside the list is ignored
        model.remove(1);
        model.remove(5);
        QCOMPARE(rows(), "Safari:1:true Numbers:2:false");
        QCOMPARE(count.size(), 1);
    }

    void iconProviderRendersAtAskedSizeWithRoundedCorners()
    {
        AppIconProvider provider;
        QImage red(512, 512, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QSize askedOfSource;
        provider.setSource("app/x", [&](const QSize &size) { askedOfSource = size; return red; });
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

    // The PIN shows one box per character once started, leading and repeated
    // digits too (this word draws 77 of 10000). The status line follows the
    // phone and stays 20 above the bottom edge however tall the window is.
    void pinCardAndStatusLine()
    {
        const auto dotColour = [&] { return item("statusDot")->property("color").value<QColor>(); };
        const QColor waiting = QColor::fromRgbF(1, 1, 1, 0.25);
        QCOMPARE(text("statusText"), QStringLiteral("Waiting for iPhone"));
        QCOMPARE(dotColour(), waiting);
        QVERIFY(!item("windowControlNotice")->isVisible()); // the X11 window manager needs nothing
        QVERIFY(item("pinCard") && itemsNamed(m_window->contentItem(), "pinDigit").isEmpty());
        QQuickItem *line = item("statusLine");
        for (int height : {480, 900}) {
            m_window->resize(640, height);
            TRY_COMPARE(line->mapToScene(QPointF(0, line->height())).y(), height - 20.0);
        }
        m_server->setRandomWordSource([] { return quint64(142039929367563548ull); });
        m_server->startListening();
        QString shown;
        for (QQuickItem *box : itemsNamed(m_window->contentItem(), "pinDigit"))
            shown += box->property("character").toString();
        QCOMPARE(shown, QStringLiteral("0077"));
        auto phone = std::make_unique<TestPhone>(m_server->listener()->port());
        TRY_COMPARE(text("statusText"), QStringLiteral("iPhone Connected")); // not paired: still shown
        QCOMPARE(dotColour(), QColor::fromRgbF(0.3, 0.95, 0.45));
        phone.reset();
        TRY_COMPARE(text("statusText"), QStringLiteral("Waiting for iPhone"));
        QCOMPARE(dotColour(), waiting);
    }

    // Counter and ring follow the selection; beyond eight, unselected rows
    // are dimmed and deaf to clicks while selected ones can still go.
    void counterRingAndTheLimitOfEight()
    {
        QQuickItem *ring = item("progressRing");
        const auto progress = [&] { return text("counter") + ' ' + text("ringCount") + ' ' + ring->property("fraction").toString(); };
        QCOMPARE(text("counter"), QStringLiteral("0 of 8 selected"));
        toggleApps(*m_store, {"Safari", "Mail", "Notes", "Music"});
        QCOMPARE(progress(), QStringLiteral("4 of 8 selected 4 0.5"));
        TRY_VERIFY(qAbs(ring->property("shownFraction").toReal() - 0.5) < 1e-6); // springs, then settles
        toggleApps(*m_store, {"Calendar", "Photos", "Messages", "Maps"});
        QCOMPARE(progress(), QStringLiteral("8 of 8 selected 8 1"));
        QQuickItem *finder = item("appRow_com.apple.finder");
        QVERIFY(finder->opacity() == 0.3 && !finder->isEnabled());
        click(finder);
        QTest::qWait(scaledMs(50));
        QCOMPARE(m_store->selectedApps().size(), 8);
        QCOMPARE(item("appRow_com.example.calendar")->opacity(), 1.0); // a selected row stays clickable
        click(item("appRow_com.example.calendar"));
        TRY_COMPARE(m_store->selectedApps().size(), 7);
        QVERIFY(finder->opacity() == 1.0 && finder->isEnabled());
    }

    void searchFiltersAndSurvivesPageSwitch()
    {
        const int all = m_store->allInstalledApps().size();
        QCOMPARE(listCount(), all);
        TRY_COMPARE(item("appListScrollBar")->property("policy").toInt(), int(Qt::ScrollBarAlwaysOn));
        QVERIFY(!item("clearSearch")->isVisible());
        click(item("searchField"));
        for (char key : {'S', 'A', 'F', 'A'})
            QTest::keyClick(m_window, key, Qt::ShiftModifier);
        QCOMPARE(text("searchField"), QStringLiteral("SAFA"));
        QCOMPARE(listCount(), 1);
        TRY_COMPARE(item("appListScrollBar")->property("policy").toInt(), int(Qt::ScrollBarAlwaysOff)); // nothing to scroll
        click(item("appRow_com.example.safari")); // the filtered row's own app
        QVERIFY(m_store->selectedApps().size() == 1 && m_store->selectedApps().first().bundleIdentifier == "com.example.safari");
        QVERIFY(item("clearSearch")->isVisible());
        showTab("About");
        QVERIFY(itemsNamed(m_window->contentItem(), "searchField").isEmpty());
        showTab("Apps");
        QCOMPARE(text("searchField"), QStringLiteral("SAFA"));
        QCOMPARE(listCount(), 1);
        click(item("clearSearch"));
        QCOMPARE(text("searchField"), QString());
        QCOMPARE(listCount(), all);
        QVERIFY(!item("clearSearch")->isVisible());
    }

    // Dragging the third row to the top renumbers the slots and moves the
    // highlight with it, so Delete removes the app the user sees selected.
    void onIPhoneRowsDragAndDelete()
    {
        showTab("On iPhone");
        QQuickItem *empty = item("emptyState");
        QVERIFY(empty->isVisible() && !item("selectedList")->isVisible());
        toggleApps(*m_store, {"Safari", "Mail", "Terminal"});
        QVERIFY(!empty->isVisible());
        QTest::qWait(scaledMs(100)); // rows are laid out on the next frame
        QQuickItem *third = item("slotRow_2");
        const QPoint start = centreOf(third);
        QTest::mousePress(m_window, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(m_window, start - QPoint(0, int(third->height() * 2 * step / 10)), 10);
        QTest::mouseRelease(m_window, Qt::LeftButton, {}, start - QPoint(0, int(third->height() * 2)), 10);
        TRY_COMPARE(m_store->selectedApps().first().displayName, QStringLiteral("Terminal"));
        QStringList rows;
        for (const char *row : {"slotRow_0", "slotRow_1", "slotRow_2"})
            rows.append(text("slotLabel", item(row)) + " " + text("slotName", item(row)));
        QCOMPARE(rows, (QStringList{"Slot 1 Terminal", "Slot 2 Safari", "Slot 3 Mail"}));
        QTest::keyClick(m_window, Qt::Key_Delete);
        QCOMPARE(m_store->selectedApps().first().displayName, QStringLiteral("Safari"));
        // Each row has its remove button, shown under the pointer.
        QTest::mouseMove(m_window, centreOf(item("slotRow_1")));
        QQuickItem *remove = item("removeButton", item("slotRow_1"));
        TRY_VERIFY(remove->isVisible());
        click(remove);
        QCOMPARE(m_store->selectedApps().size(), 1);
        click(item("slotRow_0"));
        QTest::keyClick(m_window, Qt::Key_Delete);
        QVERIFY(m_store->selectedApps().isEmpty() && empty->isVisible());
    }

    // The shell starts listening when the window is shown; shown again while
    // advertising, the listener and the PIN stay. In protected mode a phone is
    // asked about above the page; Settings switches that off and forgets phones.
    void shellWindowAndProtectedMode()
    {
        cleanup(); // the shell makes its own store and server
        TendrilApp app;
        app.server().setListeningPort(0);
        app.webRemote().setPort(0);
        app.settings().setRequireApproval(true);
        QCOMPARE(app.server().serverState(), ServerState::stopped);
        QQuickWindow *window = app.showWindow();
        QVERIFY(window);
        QCOMPARE(QSize(window->minimumWidth(), window->minimumHeight()), QSize(560, 480));
        QCOMPARE(window->width(), 640);
        TRY_VERIFY(app.server().serverState() != ServerState::stopped);
        const QString pin = app.server().pin();
        TcpListener *listener = app.server().listener();
        QSignalSpy appeared(&app, &TendrilApp::windowAppeared);
        window->hide();
        QCOMPARE(app.showWindow(), window);
        QCOMPARE(appeared.size(), 1);
        QCOMPARE(app.server().pin(), pin);
        QCOMPARE(app.server().listener(), listener);

        const auto shown = [&](const char *name) { // the one visible item of that name
            QList<QQuickItem *> found = itemsNamed(window->contentItem(), name);
            found.removeIf([](QQuickItem *item) { return !item->isVisible(); });
            return found.size() == 1 ? found.first() : nullptr;
        };
        QTcpSocket phone;
        phone.bind(QHostAddress(QStringLiteral("127.0.0.2")));
        phone.connectToHost(QHostAddress::LocalHost, listener->port());
        TRY_VERIFY(shown("allowButton"));
        QCOMPARE(shown("question")->property("text").toString(), QStringLiteral("Allow phone at 127.0.0.2?"));
        QMetaObject::invokeMethod(shown("allowButton"), "clicked");
        TRY_VERIFY(app.server().isConnected());
        TRY_VERIFY(!shown("approvalBanner"));
        QCOMPARE(shown("phoneAddress")->property("text").toString(), QStringLiteral("127.0.0.2"));
        shown("mainView")->setProperty("selectedTab", int(MacTab::settings));
        TRY_VERIFY(shown("forgetButton"));
        QMetaObject::invokeMethod(shown("forgetButton"), "clicked");
        QVERIFY(app.settings().approvedPhones().isEmpty());
        QMetaObject::invokeMethod(shown("protectedModeRow"), "toggled", Q_ARG(bool, false));
        QVERIFY(!app.settings().requireApproval());

        // The web remote, started once the window appeared, follows its switch.
        TRY_VERIFY(app.webRemote().isServing());
        QMetaObject::invokeMethod(shown("webRemoteRow"), "toggled", Q_ARG(bool, false));
        QVERIFY(!app.webRemote().isServing() && app.webRemote().urls().isEmpty());
        QCOMPARE(shown("webRemoteStatus")->property("text").toString(), QStringLiteral("Switched off"));
        QMetaObject::invokeMethod(shown("webRemoteRow"), "toggled", Q_ARG(bool, true));
        QVERIFY(app.webRemote().isServing());
    }

    // What a phone's camera reads from the window's codes is the address.
    void qrCodesReadBackAsTheirText()
    {
        QTemporaryDir dir;
        for (const QString text : {"http://192.168.1.5:57433/", "http://[fd00::1:2]:57433/"}) {
            QSize size;
            QImage code = QrCodeProvider().requestImage(QUrl::toPercentEncoding(text), &size, QSize(96, 96));
            QVERIFY(size.width() >= 96 && size.width() == size.height());
            // A camera sees the code on the window's dark page.
            QImage shot(size + QSize(40, 40), QImage::Format_RGB32);
            shot.fill(QColor(20, 15, 10));
            QPainter(&shot).drawImage(20, 20, code);
            QVERIFY(shot.save(dir.filePath("code.png")));
            QProcess zbar;
            zbar.start("zbarimg", {"--raw", "-q", dir.filePath("code.png")});
            QVERIFY(zbar.waitForFinished(scaledMs(10000)));
            QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), text);
        }
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
