// Renders the window's pages with a sample catalogue and a stored selection,
// in a temporary home, and writes one PNG per page to the folder given.
#include "UiFixtures.h"

#include "app/TendrilApp.h"
#include "catalogue/MacAppStore.h"
#include "server/MacServerService.h"

#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void storeSelection(const QStringList &names)
{
    MacAppStore store;
    waitForCatalogue(store);
    for (const QString &name : names) {
        for (const InstalledApp &app : store.allInstalledApps()) {
            if (app.name == name && !store.isSelected(app))
                store.toggleSelection(app);
        }
    }
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
    storeSelection({QStringLiteral("Calendar"), QStringLiteral("Safari"), QStringLiteral("Messages"),
                    QStringLiteral("Automator"), QStringLiteral("Terminal")});

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
        {"3-about.png", 2, ""},
        {"4-apps-search.png", 0, "a"},
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
    return status;
}
