#!/usr/bin/env bash
# Builds the plain tree and the sanitized tree (everything but the window,
# plus the fuzz targets) and runs both test suites under a private X server.
set -euo pipefail
build=${1:-build}
asan=${2:-build-asan}
jobs=$(nproc)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"
cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ -DTENDRIL_SANITIZE=ON -DTENDRIL_FUZZ=ON \
    -DTENDRIL_BUILD_UI=OFF -DTENDRIL_BENCH=OFF >/dev/null
cmake --build "$asan"

source tools/xvfb.sh
start_xvfb
trap stop_xvfb EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/lsan.supp}
status=0
ctest --test-dir "$asan" --output-on-failure -j "$jobs" || status=1
ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=1
exit $status
