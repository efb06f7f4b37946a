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
#include <QEventLoop>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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

    struct Shot {
        const char *file;
        int tab;
        const char *search;
    };
    const Shot shots[] = {
        {"1-apps.png", 0, ""},
        {"2-on-iphone.png", 1, ""},
        {"3-about.png", 3, ""},
        {"4-apps-search.png", 0, "a"},
        {"6-settings.png", 2, ""},
    };
    int status = 0;
    for (const Shot &shot : shots) {
        mainView->setProperty("searchText", QString::fromUtf8(shot.search));
        mainView->setProperty("selectedTab", shot.tab);
        wait(800); // icons load and canvases paint asynchronously
        const QString path = outDir + QLatin1Char('/') + QLatin1String(shot.file);
        if (window->grabWindow().save(path)) {
            std::printf("%s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            status = 1;
        }
    }
    const QString glyphs = outDir + QStringLiteral("/5-glyphs.png");
    if (shootGlyphs(glyphs))
        std::printf("%s\n", qPrintable(glyphs));
    else
        status = 1;
    return status;
}
