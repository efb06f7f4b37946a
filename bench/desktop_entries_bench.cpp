// 1,000 generated desktop entries whose icons come from an icon theme (half
// SVG, half PNG): time from the store's creation to the published catalogue,
// the 128 x 128 export of eight icons, and resident-memory growth.
#include "tests/catalogue/CatalogueFixtures.h"
#include "tests/catalogue/DesktopFixtures.h"

#include "catalogue/MacAppStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr int entryCount = 1000;
QTemporaryDir *tree = nullptr;

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void hardLink(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).path());
    std::filesystem::create_hard_link(from.toStdString(), to.toStdString());
}

// Set before GLib first reads the XDG variables.
void makeTree()
{
    tree = new QTemporaryDir;
    const QString home = tree->filePath("home"), data = home + "/.local/share", system = tree->filePath("usr");
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_DATA_DIRS", system.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_CONFIG_DIRS", tree->filePath("etc").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    writeFile(home + "/.config/kdeglobals", "[Icons]\nTheme=Bench\n");

    QString folders, groups;
    for (int side : {16, 22, 24, 32, 48, 64, 96, 128, 256, 512}) {
        folders += QString("%1x%1/apps,").arg(side);
        groups += QString("[%1x%1/apps]\nSize=%1\nType=Threshold\n").arg(side);
    }
    writeFile(system + "/icons/hicolor/index.theme", ("[Icon Theme]\nDirectories=" + folders + "\n" + groups).toUtf8());
    writeFile(system + "/icons/Bench/index.theme", "[Icon Theme]\nInherits=hicolor\nDirectories=scalable/apps\n"
              "[scalable/apps]\nSize=64\nMinSize=8\nMaxSize=512\nType=Scalable\n");
    const QString svg = tree->filePath("icon.svg"), png48 = tree->filePath("48.png"), png256 = tree->filePath("256.png");
    writeFile(svg, solidSvg(QColor(40, 120, 220)));
    solidImage(48, Qt::darkGreen).save(png48);
    solidImage(256, Qt::darkGreen).save(png256);

    for (int i = 0; i < entryCount; ++i) {
        const QString icon = QString("org.example.App%1").arg(i);
        // Hard links: every entry has its own icon file at no disk cost.
        if (i % 2) {
            hardLink(svg, system + "/icons/Bench/scalable/apps/" + icon + ".svg");
        } else {
            hardLink(png48, system + "/icons/hicolor/48x48/apps/" + icon + ".png");
            hardLink(png256, system + "/icons/hicolor/256x256/apps/" + icon + ".png");
        }
        writeDesktopEntry(i % 3 ? system + "/applications" : data + "/applications", icon + ".desktop",
                          QString("Name=Application %1\nName[de]=Anwendung %1\nComment=Generated\nIcon=%2\n"
                                  "Categories=Utility;\nMimeType=text/plain;")
                              .arg(entryCount - i)
                              .arg(icon));
    }
}

// Runs first, in a fresh process, so earlier work cannot hide the growth.
void BM_DesktopCatalogue(benchmark::State &state)
{
    for (auto _ : state) {
        const double before = residentMegabytes();
        QElapsedTimer timer;
        timer.start();
        MacAppStore store;
        QEventLoop loop;
        QObject::connect(&store, &MacAppStore::allInstalledAppsChanged, &loop, &QEventLoop::quit);
        loop.exec();
        const double publishedMs = double(timer.nsecsElapsed()) / 1e6;
        const double afterScan = residentMegabytes();

        // Eight icons, both kinds, none cached yet.
        const QList<InstalledApp> &apps = store.allInstalledApps();
        timer.restart();
        int exported = 0, themed = 0;
        for (int i = 1; i <= 8 && i < apps.size(); ++i) {
            exported += store.pngIconData(apps.at(i)) ? 1 : 0;
            themed += apps.at(i).icon->filePath().isEmpty() ? 0 : 1;
        }
        const double exportMs = double(timer.nsecsElapsed()) / 1e6;

        state.counters["apps"] = double(apps.size());
        state.counters["scan_to_published_ms"] = publishedMs;
        state.counters["export_8_icons_ms"] = exportMs;
        state.counters["icons_exported"] = exported;
        state.counters["icons_from_theme"] = themed;
        state.counters["rss_growth_scan_MB"] = afterScan - before;
        state.counters["rss_growth_with_8_icons_MB"] = residentMegabytes() - before;
    }
}
BENCHMARK(BM_DesktopCatalogue)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ScanInstalledApps(benchmark::State &state)
{
    for (auto _ : state) {
        const QList<InstalledApp> apps = MacAppStore::scanInstalledApps();
        benchmark::DoNotOptimize(apps.size());
        state.counters["apps"] = double(apps.size());
    }
}
BENCHMARK(BM_ScanInstalledApps)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    makeTree();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QThreadPool::globalInstance()->waitForDone();
    delete tree;
    return 0;
}
