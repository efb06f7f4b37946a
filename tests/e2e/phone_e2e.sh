#!/usr/bin/env bash
# End to end: the command-line phone against the real desktop program on the
# fixed port, in a temporary home: the volume and the screenshot, which no
# other run carries out on the real desktop services (launching, quitting
# and the clipboard are the web page's and the compositors' runs).
# usage: phone_e2e.sh DESKTOP_PROGRAM PHONE_PROGRAM
set -uo pipefail
desktop=$1 phone=$2 work=$(mktemp -d) pids=()
source "$(dirname "$0")/common.sh"
trap end_run EXIT

# The test's own bus stays: without one, libdbus would launch a bus for the X display.
private_home
export PATH="$work/bin:$PATH"
# A pactl that only records.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$@" >> "%s"\n' "$work/pactl.out" > "$work/bin/pactl" && chmod +x "$work/bin/pactl"

"$desktop" > "$work/desktop.log" 2>&1 &
pids+=($!)
read_pin
grep -q '{"pong":{}}' "$work/hello.out" || fail "ping before pairing was not answered"

send adjustVolume 0.5 > /dev/null || fail "adjustVolume"
wait_for 50 grep -q 'set-sink-volume @DEFAULT_SINK@ 50%' "$work/pactl.out" 2>/dev/null || fail "the volume was not set"

# Screenshot: only where there is a screen to capture.
if [[ "${QT_QPA_PLATFORM:-}" != offscreen && -n "${DISPLAY:-}" ]]; then
    send screenshot > /dev/null || fail "screenshot"
    wait_for 80 compgen -G "$HOME/Desktop/Tendril_*.png" > /dev/null || fail "no screenshot on the Desktop"
    shot=$(compgen -G "$HOME/Desktop/Tendril_*.png" | head -n1)
    [[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' ')" == 89504e470d0a1a0a ]] || fail "$shot is not a PNG"
fi
echo "PASS: volume and screenshot through tendril-phone"
