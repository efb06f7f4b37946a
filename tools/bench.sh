#!/usr/bin/env bash
# Runs every benchmark built in BUILD/bench, then the window's start-up and
# memory harness. Usage: tools/bench.sh BUILD_FOLDER
set -uo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
status=0
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi

for bench in "$build"/bench/*; do
    [[ -f "$bench" && -x "$bench" ]] || continue
    echo "== $(basename "$bench")"
    "$bench" || status=1
done

harness="$build/bench/harness/ui_startup"
if [[ -x "$harness" ]]; then
    echo "== ui_startup"
    # The program picks its own renderer, as it does when started normally.
    if [[ -z "${DISPLAY:-}" ]] && command -v Xvfb >/dev/null; then
        source "$here/xvfb.sh"
        start_xvfb && trap stop_xvfb EXIT
    fi
    if [[ -n "${DISPLAY:-}" ]]; then
        QT_QPA_PLATFORM=xcb "$harness" || status=1
    else
        QT_QPA_PLATFORM=offscreen "$harness" || status=1
    fi
fi
exit $status
