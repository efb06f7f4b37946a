#!/usr/bin/env bash
# Runs bench/web_bench.mjs against the program in a temporary home, on a
# private bus and X display of its own, with a bundle that notes when it starts.
# usage: web_bench.sh DESKTOP_PROGRAM PHONE_PROGRAM
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root="$here/.."
if [[ -z "${TENDRIL_TEST_OWNER:-}" ]]; then
    exec "$root/tests/support/isolate.sh" 1 "$0" "$@"
fi
desktop=$1 phone=$2 work=$(mktemp -d) pids=()
source "$root/tests/e2e/common.sh"
[[ -d "$root/tests/web/node_modules/playwright-core" ]] || fail "no playwright-core: run tools/setup.sh test"
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    pkill -TERM -f "$work/home/Applications" 2>/dev/null
    [[ -n "${XVFB_PID:-}" ]] && stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
    source "$root/tools/xvfb.sh"
    start_xvfb || exit 1
fi
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb QT_QUICK_BACKEND=software
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME WAYLAND_DISPLAY
mkdir -m 700 "$XDG_RUNTIME_DIR"
app="$HOME/Applications/Stamp.app"
mkdir -p "$app/Contents/MacOS" "$HOME/.config/Tendril"
echo '<?xml version="1.0"?><plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.stamp</string>
<key>CFBundleName</key><string>Stamp</string><key>CFBundleExecutable</key><string>run</string></dict></plist>' \
    > "$app/Contents/Info.plist"
printf '#!/bin/sh\ndate +%%s%%N >> %s\nexec sleep 600\n' "$work/launches" > "$app/Contents/MacOS/run"
chmod +x "$app/Contents/MacOS/run"
printf '[General]\ntendril.selections.v3="@ByteArray([%s])"\n' \
    '{\"bundleID\":\"com.example.stamp\",\"displayName\":\"Stamp\",\"gridIndex\":0}' > "$HOME/.config/Tendril/Tendril.conf"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$desktop" --port "$port" --web-port 0 > "$work/desktop.log" 2>&1 &
pids+=($!)
read_pin
wait_for 50 grep -q '\[Web\] Web remote listening on port' "$work/desktop.log" || fail "no web remote"
web_port=$(sed -n 's/.*\[Web\] Web remote listening on port \([0-9]*\).*/\1/p' "$work/desktop.log" | head -n1)
WEB_PORT=$web_port PIN=$pin WORK=$work PAGE_DIR="$root/web/page" node "$here/web_bench.mjs"
