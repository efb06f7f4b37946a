#pragma once

#include "catalogue/MacAppStore.h"

#include <benchmark/benchmark.h>

// The catalogue's whole scan, repeated: each benchmark program registers it
// over its own tree (bundles alone, or bundles and desktop entries).
inline void BM_ScanInstalledApps(benchmark::State &state)
{
    for (auto _ : state) {
        const QList<InstalledApp> apps = MacAppStore::scanInstalledApps();
        benchmark::DoNotOptimize(apps.size());
        state.counters["apps"] = double(apps.size());
    }
}
