// Renders the window's pages with a sample catalogue and a stored selection,
// in a temporary home, and writes one PNG per page to the folder given, plus
// a sheet of the glyphs.
#include "UiFixtures.h"

#include "app/TendrilApp.h"
#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"
#include "ui/TendrilUi.h"

#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

void wait(int ms) { QTest::qWait(ms); }

// Every glyph the window uses, large, to check the drawings.
bool shootGlyphs(const QString &path)
{
    QQmlEngine engine;
    installTendrilUi(engine);
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQuick
        import QtQuick.Window
        import Tendril.Ui
        Window {
            width: 7 * 80 + 8; height: 2 * 80 + 8; color: "#201810"; visible: true
            Grid {
                x: 8; y: 8; columns: 7; spacing: 16
                Repeater {
                    model: ["macbook.and.iphone", "square.grid.2x2", "iphone", "info.circle",
                            "magnifyingglass", "xmark.circle.fill", "checkmark", "plus",
                            "iphone.slash", "wifi", "lock.shield",
                            "arrow.triangle.2.circlepath", "bolt.fill"]
                    Symbol { required property string modelData; name: modelData; size: 64
                             color: Qt.rgba(1.0, 0.72, 0.35, 1) }
                }
            }
        })", QUrl());
    std::unique_ptr<QObject> root(component.create());
    auto *window = qobject_cast<QQuickWindow *>(root.get());
    if (!window) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return false;
    }
    wait(500);
    return window->grabWindow().save(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    TemporaryHome home;
    makeCatalogue(home.applications(), 40, 256);
    {
        MacAppStore store; // stores the selection the window then shows
        waitForCatalogue(store);
        toggleApps(store, {"Calendar", "Safari", "Messages", "Automator", "Terminal"});
    }

    TendrilApp tendril;
    tendril.server().setListeningPort(0);
    QQuickWindow *window = tendril.showWindow();
    if (!window || !waitForCatalogue(tendril.appStore()))
        return 1;
    QQuickItem *mainView = window->findChild<QQuickItem *>(QStringLiteral("mainView"));
    if (!mainView)
        return 1;

    const std::tuple<const char *, int, const char *> shots[] = {
        {"1-apps.png", 0, ""}, {"2-on-iphone.png", 1, ""}, {"3-about.png", 3, ""}, {"4-apps-search.png", 0, "a"},
        {"6-settings.png", 2, ""}};
    int status = 0;
    for (const auto &[file, tab, search] : shots) {
        mainView->setProperty("searchText", QString::fromUtf8(search));
        mainView->setProperty("selectedTab", tab);
        wait(800); // icons load and canvases paint asynchronously
        const QString path = outDir + '/' + file;
        const bool ok = window->grabWindow().save(path);
        std::fprintf(ok ? stdout : stderr, ok ? "%s\n" : "could not write %s\n", qPrintable(path));
        status |= ok ? 0 : 1;
    }
    const QString glyphs = outDir + "/5-glyphs.png";
    status |= shootGlyphs(glyphs) ? 0 : 1;
    std::printf("%s\n", qPrintable(glyphs));
    return status;
}
