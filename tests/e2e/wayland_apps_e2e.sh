#!/usr/bin/env bash
# The server on the system's platform inside a headless Wayland session
# (weston), with a desktop entry and the command-line phone: running reports
# work, nothing is reported in front, hide and minimise log once, quit ends a
# window-less application.
# usage: wayland_apps_e2e.sh SERVER_PROGRAM PHONE_PROGRAM
set -uo pipefail
server=$1
phone=$2
command -v weston > /dev/null || { echo "SKIP: weston is not installed"; exit 77; }
work=$(mktemp -d)
weston_pid= server_pid=
cleanup() {
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    [[ -n "$weston_pid" ]] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    pkill -TERM -f "$work/bin/sleeper" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; sed 's/^/  server: /' "$work/server.log"; exit 1; }

export XDG_RUNTIME_DIR="$work/run" HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/none"
unset DISPLAY XDG_CONFIG_HOME XDG_CACHE_HOME
mkdir -m 700 -p "$XDG_RUNTIME_DIR" && mkdir -p "$HOME" "$work/bin" "$XDG_DATA_HOME/applications"
printf '#!/bin/sh\nwhile :; do sleep 1; done\n' > "$work/bin/sleeper" && chmod +x "$work/bin/sleeper"
printf '[Desktop Entry]\nType=Application\nName=Sleeper\nExec=%s\n' "$work/bin/sleeper" \
    > "$XDG_DATA_HOME/applications/org.example.Sleeper.desktop"

weston --backend=headless-backend.so --socket=tendril-e2e --idle-time=0 > "$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do [[ -S "$XDG_RUNTIME_DIR/tendril-e2e" ]] && break; sleep 0.1; done
[[ -S "$XDG_RUNTIME_DIR/tendril-e2e" ]] || { cat "$work/weston.log"; echo "SKIP: weston did not start"; exit 77; }
export WAYLAND_DISPLAY=tendril-e2e XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland

port=$((20000 + RANDOM % 20000)) # the fixed port may be another program's
"$server" "$port" > "$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q '^listening' "$work/server.log" && break; sleep 0.1; done
pin=$(awk -F'\t' '/^listening/ { print $3 }' "$work/server.log")
[[ -n "$pin" ]] || fail "the server did not start listening"
send() { "$phone" --port "$port" --pin "$pin" --listen "${LISTEN:-0.3}" "$@" 2>> "$work/phone.log"; }

send launchApp org.example.Sleeper > /dev/null || fail "launchApp"
for _ in $(seq 50); do pgrep -f "$work/bin/sleeper" > /dev/null && break; sleep 0.1; done
pgrep -f "$work/bin/sleeper" > /dev/null || fail "launchApp started nothing"

LISTEN=2 send requestAppList > "$work/updates.out" || fail "requestAppList"
grep -q '{"runningAppsUpdate":{"bundleIDs":\[[^]]*"org.example.Sleeper"' "$work/updates.out" \
    || fail "the launched entry is not reported running: $(cat "$work/updates.out")"
grep -q '"frontmostAppUpdate"' "$work/updates.out" || fail "no frontmost report"
grep '"frontmostAppUpdate"' "$work/updates.out" | grep -q bundleID && fail "a frontmost application was named"

for command in hideApp hideApp minimizeApp minimizeApp hideApp; do
    send "$command" org.example.Sleeper > /dev/null || fail "$command"
done
sleep 0.5
[[ $(grep -c '^\[Hide\] ' "$work/server.log") == 1 ]] || fail "hide did not log exactly one line"
[[ $(grep -c '^\[Minimize\] ' "$work/server.log") == 1 ]] || fail "minimise did not log exactly one line"
pgrep -f "$work/bin/sleeper" > /dev/null || fail "hiding ended the application"

send quitApp org.example.Sleeper > /dev/null || fail "quitApp"
for _ in $(seq 50); do pgrep -f "$work/bin/sleeper" > /dev/null || break; sleep 0.1; done
pgrep -f "$work/bin/sleeper" > /dev/null && fail "quitApp left the window-less application running"
echo "PASS: running, no frontmost, one hide and one minimise line, quit, under Wayland"
