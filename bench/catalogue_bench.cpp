// Scan of 1,000 generated bundles whose icon files hold 1024 x 1024 images:
// time, resident-memory growth, and the 128 x 128 PNG export of one icon.
#include "ScanBenchmark.h"
#include "tests/catalogue/CatalogueFixtures.h"

#include "catalogue/IconCache.h"
#include "catalogue/MacAppStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int bundleCount = 1000;

struct Fixture {
    TemporaryHome home;
    QString singleImageIcon; // one 1024 x 1024 image
    QString multiImageIcon;  // 16 to 1024, as shipped icons are
};
Fixture *fixture = nullptr;

QImage iconArt(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor(240, 120, 40));
    gradient.setColorAt(1, QColor(40, 90, 220));
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(side * 0.05, side * 0.05, side * 0.9, side * 0.9), side * 0.2, side * 0.2);
    return image;
}

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Bytes the program has allocated and not freed: unlike the resident size,
// not hidden by memory that earlier work freed and the allocator kept.
double heapInUseMegabytes()
{
    return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

void makeFixture()
{
    fixture = new Fixture;
    const QString home = fixture->home.path();
    fixture->singleImageIcon = home + "/single.icns";
    fixture->multiImageIcon = home + "/multi.icns";
    writeIcns(fixture->singleImageIcon, {iconArt(1024)});
    QList<QImage> sizes;
    for (int side : {16, 32, 64, 128, 256, 512, 1024})
        sizes.append(iconArt(side));
    writeIcns(fixture->multiImageIcon, sizes);

    const QString root = home + "/Applications";
    for (int i = 0; i < bundleCount; ++i) {
        const QString bundle = makeBundle(root, QString("Generated %1.app").arg(i),
                                          {{"CFBundleIdentifier", QString("org.example.generated%1").arg(i)},
                                           {"CFBundleName", QString("Generated %1").arg(bundleCount - i)},
                                           {"CFBundleIconFile", "AppIcon"}},
                                          i % 2 ? PlistFormat::Binary : PlistFormat::Xml);
        // Hard links: every bundle has its own 1024 x 1024 icon file at no disk cost.
        std::filesystem::create_hard_link(fixture->singleImageIcon.toStdString(),
                                          (bundle + "/Contents/Resources/AppIcon.icns").toStdString());
    }
}

// Runs first, in a fresh process, so earlier work cannot hide the growth.
void BM_CatalogueResidentMemory(benchmark::State &state)
{
    for (auto _ : state) {
        const double before = residentMegabytes();
        const double heapBefore = heapInUseMegabytes();
        QElapsedTimer timer;
        timer.start();
        const QList<InstalledApp> apps = MacAppStore::scanInstalledApps();
        const double firstScanMs = double(timer.nsecsElapsed()) / 1e6;
        const double afterScan = residentMegabytes();
        const double heapAfterScan = heapInUseMegabytes();
        // What the picker adds when it has drawn its first screenful of rows.
        for (int i = 0; i < 20 && i < apps.size(); ++i)
            benchmark::DoNotOptimize(apps.at(i).icon->image(QSize(72, 72)));
        const double afterRows = residentMegabytes();
        const double heapAfterRows = heapInUseMegabytes();
        state.counters["apps"] = double(apps.size());
        state.counters["first_scan_ms"] = firstScanMs;
        state.counters["rss_growth_scan_MB"] = afterScan - before;
        state.counters["rss_growth_with_20_rows_MB"] = afterRows - before;
        state.counters["heap_growth_scan_MB"] = heapAfterScan - heapBefore;
        state.counters["heap_growth_with_20_rows_MB"] = heapAfterRows - heapBefore;
    }
}
BENCHMARK(BM_CatalogueResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ScanInstalledApps)->Unit(benchmark::kMillisecond)->UseRealTime();

// pngIconData for an application without a cached file: decode, draw, encode, write.
void pngIconDataWithoutCachedFile(benchmark::State &state, const QString &iconFile)
{
    MacAppStore store;
    const QString cached = store.iconCacheDirectory() + "/org.example.bench.png";
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(cached);
        // A fresh handle, so its own small rendering is not reused either.
        const InstalledApp app{QUuid::createUuid(), "org.example.bench", "Bench",
                               AppIcon::fromFile(iconFile), "/Applications/Bench.app"};
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.pngIconData(app));
    }
}

void BM_PngIconData_SingleImage1024(benchmark::State &state)
{
    pngIconDataWithoutCachedFile(state, fixture->singleImageIcon);
}
BENCHMARK(BM_PngIconData_SingleImage1024)->Unit(benchmark::kMillisecond);

void BM_PngIconData_MultiImage(benchmark::State &state)
{
    pngIconDataWithoutCachedFile(state, fixture->multiImageIcon);
}
BENCHMARK(BM_PngIconData_MultiImage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    makeFixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QThreadPool::globalInstance()->waitForDone();
    delete fixture;
    return 0;
}
