#!/usr/bin/env bash
# Builds the plain tree, the sanitized tree (everything but the window, plus
# the fuzz targets) and the portable core (no desktop libraries, stand-in
# platform services), and runs the three suites under a private X server.
set -euo pipefail
build=${1:-build}
asan=${2:-build-asan}
core=${3:-build-core}
jobs=$(nproc)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"
cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ -DTENDRIL_SANITIZE=ON -DTENDRIL_FUZZ=ON \
    -DTENDRIL_BUILD_UI=OFF -DTENDRIL_BENCH=OFF >/dev/null
cmake --build "$asan"
# Few targets, most objects already in ccache from the plain tree.
cmake -S . -B "$core" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTENDRIL_PLATFORM=none \
    -DTENDRIL_BUILD_UI=OFF -DTENDRIL_BENCH=OFF >/dev/null
cmake --build "$core"

source tools/xvfb.sh
source tests/support/private-bus.sh
start_xvfb
# Every process the tests start carries this mark; none may outlive the suite.
suite_mark=TENDRIL_TEST_SUITE=$$-$RANDOM
export "${suite_mark?}"
finish() { end_marked "$suite_mark"; stop_xvfb; }
trap finish EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/lsan.supp}
status=0
ctest --test-dir "$asan" --output-on-failure -j "$jobs" || status=1
ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=1
ctest --test-dir "$core" --output-on-failure -j "$jobs" || status=1

for _ in $(seq 20); do # a moment for the last ones to be reaped
    left=$(marked_processes "$suite_mark")
    [[ -z $left ]] && break
    sleep 0.1
done
if [[ -n $left ]]; then
    echo "FAIL: processes started by the tests are still running:"
    ps -o pid=,user=,args= -p "$(echo $left | tr ' ' ,)" || true
    status=1
fi
exit $status
