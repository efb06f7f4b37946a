// The window's per-keystroke and per-row work: filtering a 200-app catalogue
// by a search text, and rendering one row icon from a full-size image.
#include "UiFixtures.h"

#include "catalogue/MacAppStore.h"
#include "ui/AppIconProvider.h"
#include "ui/InstalledAppsModel.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Catalogue {
    TemporaryHome home;
    std::unique_ptr<MacAppStore> store;

    Catalogue()
    {
        makeCatalogue(home.applications(), 200, 0);
        store = std::make_unique<MacAppStore>();
        waitForCatalogue(*store, 30000);
    }
};

Catalogue &catalogue()
{
    static Catalogue instance;
    return instance;
}

void BM_SearchKeystroke(benchmark::State &state)
{
    InstalledAppsModel model;
    model.setStore(catalogue().store.get());
    const QString texts[] = {QStringLiteral("u"), QStringLiteral("ut"), QStringLiteral("uti"),
                             QStringLiteral("ut"), QStringLiteral("u"), QString()};
    int next = 0;
    for (auto _ : state) {
        model.setSearchText(texts[next]);
        next = (next + 1) % 6;
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_SearchKeystroke);

void BM_RowIconFromFullSizeImage(benchmark::State &state)
{
    AppIconProvider provider;
    const QImage full = sampleIcon(QStringLiteral("Safari"), 1024);
    provider.setSource(QStringLiteral("app/x"), [&full](const QSize &size) {
        return full.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    });
    QSize size;
    for (auto _ : state) {
        QImage icon = provider.requestImage(QStringLiteral("app/x?radius=8&side=36"), &size,
                                            QSize(72, 72));
        benchmark::DoNotOptimize(icon.constBits());
    }
}
BENCHMARK(BM_RowIconFromFullSizeImage);

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
