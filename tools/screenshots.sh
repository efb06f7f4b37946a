#!/usr/bin/env bash
# Renders the window's pages (Apps, On iPhone, About, and Apps with a search)
# with a sample catalogue and a stored selection in a temporary home, and
# writes PNGs to the folder given (default ./screenshots).
# Usage: tools/screenshots.sh [OUTPUT_FOLDER] [BUILD_FOLDER]
set -euo pipefail
out=${1:-screenshots}
build=${2:-build}
here=$(cd "$(dirname "$0")" && pwd)

if [[ ! -x "$build/tests/ui/tendril-ui-shots" ]]; then
    cmake -S "$here/.." -B "$build" -G Ninja >/dev/null
    cmake --build "$build" --target tendril-ui-shots
fi

export QT_QUICK_BACKEND=software
if command -v Xvfb >/dev/null; then
    source "$here/xvfb.sh"
    start_xvfb
    trap stop_xvfb EXIT
    export QT_QPA_PLATFORM=xcb
else
    export QT_QPA_PLATFORM=offscreen
fi
mkdir -p "$out"
"$build/tests/ui/tendril-ui-shots" "$out"
echo "Screenshots written to $out/"
