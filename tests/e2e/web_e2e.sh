#!/usr/bin/env bash
# End to end: the web remote's page in the system's Chromium against the real
# desktop program, in a temporary home, under the test's X display with
# Openbox as the window manager and stand-ins for the desktop's services.
# usage: web_e2e.sh DESKTOP_PROGRAM PHONE_PROGRAM [SCREENSHOT.png]
set -uo pipefail
desktop=$1 phone=$2 shot=${3:-} work=$(mktemp -d)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
[[ -n "${DISPLAY:-}" ]] || { echo "SKIP: no X display"; exit 77; }
[[ -d "$here/../web/node_modules/playwright-core" ]] || { echo "FAIL: no playwright-core: run tools/setup.sh test"; exit 1; }
pids=()
more_cleanup() { pkill -TERM -f "$work/home/Applications" 2>/dev/null; }
trap end_run EXIT

private_home
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY
# Two bundles with icons: a GTK window that closes when asked, and one more.
apps="$HOME/Applications"
bundle "$apps/Window.app" com.example.window Window "#!/usr/bin/python3
import runpy, sys
sys.argv[1:] = ['com.example.window', '$work/window.log']
runpy.run_path('$here/window_app.py', run_name='__main__')"
bundle "$apps/Sleeper.app" com.example.sleeper Sleeper $'#!/bin/sh\nexec sleep 600'
names=(Window Sleeper)
if [[ -n "$shot" ]]; then # a fuller grid for the picture
    for icon in /usr/share/icons/hicolor/48x48/apps/*.png; do
        name=$(basename "$icon" .png) && names+=("${name^}")
        bundle "$apps/${name^}.app" "com.example.$name" "${name^}" $'#!/bin/sh\nexec sleep 600' "$icon"
    done
fi
selections=
for i in "${!names[@]}"; do
    selections+="${selections:+,}{\\\"bundleID\\\":\\\"com.example.${names[i],,}\\\",\\\"displayName\\\":\\\"${names[i]}\\\",\\\"gridIndex\\\":$i}"
done
mkdir -p "$HOME/.config/Tendril"
printf '[General]\ntendril.selections.v3="@ByteArray([%s])"\n' "$selections" > "$HOME/.config/Tendril/Tendril.conf"

/usr/bin/python3 "$here/../services/fake_desktop.py" "$work/services.log" login1 screensaver &
pids+=($!)
openbox --sm-disable > "$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 50 grep -qx ready "$work/services.log" 2>/dev/null || fail "the stand-in services did not start"

"$desktop" --web-port 0 > "$work/desktop.log" 2>&1 &
pids+=($!)
read_pin
wait_for 50 grep -q '\[Web\] Web remote listening on port' "$work/desktop.log" || fail "no web remote"
web_port=$(sed -n 's/.*\[Web\] Web remote listening on port \([0-9]*\).*/\1/p' "$work/desktop.log" | head -n1)

WEB_PORT=$web_port PIN=$pin WORK=$work SCREENSHOT=$shot \
    node "$here/../web/web_e2e.mjs" || fail "the page's run"
