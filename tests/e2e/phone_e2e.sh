#!/usr/bin/env bash
# End to end: the command-line phone against the real desktop program on the
# fixed port, one command of each group, in a temporary home.
# usage: phone_e2e.sh DESKTOP_PROGRAM PHONE_PROGRAM
set -uo pipefail
desktop=$1
phone=$2
work=$(mktemp -d)
desktop_pid=
cleanup() {
    [[ -n "$desktop_pid" ]] && kill "$desktop_pid" 2>/dev/null && wait "$desktop_pid" 2>/dev/null
    pkill -TERM -f "$work/home/Applications/Sleeper.app" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [[ -f "$work/desktop.log" ]] && sed 's/^/  desktop: /' "$work/desktop.log"; exit 1; }

export HOME="$work/home"
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME DBUS_SESSION_BUS_ADDRESS
# One window per user: a private runtime folder keeps this run apart from others.
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$HOME/Applications/Sleeper.app/Contents/MacOS" "$work/bin"

# An application bundle whose program runs until it is asked to quit.
cat > "$HOME/Applications/Sleeper.app/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.sleeper</string>
<key>CFBundleName</key><string>Sleeper</string>
<key>CFBundleExecutable</key><string>sleeper</string>
</dict></plist>
PLIST
printf '#!/bin/sh\nwhile :; do sleep 1; done\n' > "$HOME/Applications/Sleeper.app/Contents/MacOS/sleeper"
chmod +x "$HOME/Applications/Sleeper.app/Contents/MacOS/sleeper"

# The volume goes to the default sink through pactl; this one only records.
printf '#!/bin/sh\necho "$@" >> "%s"\n' "$work/pactl.log" > "$work/bin/pactl"
chmod +x "$work/bin/pactl"
export PATH="$work/bin:$PATH"

"$desktop" > "$work/desktop.log" 2>&1 &
desktop_pid=$!

# Wait for the listener, then read the PIN from the greeting.
for _ in $(seq 100); do
    "$phone" --listen 0.2 ping > "$work/hello.out" 2>/dev/null && grep -q macHello "$work/hello.out" && break
    sleep 0.1
done
pin=$(sed -n 's/.*"macHello":{"pin":"\([0-9]\{4\}\)".*/\1/p' "$work/hello.out" | head -n1)
[[ -n "$pin" ]] || fail "no greeting with a PIN"
grep -q '{"pong":{}}' "$work/hello.out" || fail "ping before pairing was not answered"

send() { "$phone" --pin "$pin" --listen "${LISTEN:-0.3}" "$@" 2>> "$work/phone.log"; }

# Quick action: the volume.
send adjustVolume 0.5 > /dev/null || fail "adjustVolume"
for _ in $(seq 50); do grep -q 'set-sink-volume @DEFAULT_SINK@ 50%' "$work/pactl.log" 2>/dev/null && break; sleep 0.1; done
grep -q 'set-sink-volume @DEFAULT_SINK@ 50%' "$work/pactl.log" 2>/dev/null || fail "the volume was not set"

# App control: launch, seen running, quit.
send launchApp com.example.sleeper > /dev/null || fail "launchApp"
for _ in $(seq 50); do pgrep -f "$HOME/Applications/Sleeper.app/Contents/MacOS/sleeper" > /dev/null && break; sleep 0.1; done
pgrep -f "$HOME/Applications/Sleeper.app/Contents/MacOS/sleeper" > /dev/null || fail "launchApp started nothing"
LISTEN=0.5 send requestAppList > "$work/list.out" || fail "requestAppList"
grep -q '{"runningAppsUpdate":{"bundleIDs":\[[^]]*"com.example.sleeper"' "$work/list.out" \
    || fail "the launched application is not reported running: $(cat "$work/list.out")"
send quitApp com.example.sleeper > /dev/null || fail "quitApp"
for _ in $(seq 50); do pgrep -f "$HOME/Applications/Sleeper.app/Contents/MacOS/sleeper" > /dev/null || break; sleep 0.1; done
pgrep -f "$HOME/Applications/Sleeper.app/Contents/MacOS/sleeper" > /dev/null && fail "quitApp left the application running"

# Clipboard: text in, then asked back.
send clipboardPayload "hello from the phone" > /dev/null || fail "clipboardPayload"
send requestClipboard > "$work/clip.out" || fail "requestClipboard"
grep -qx '{"clipboardPayload":{"text":"hello from the phone"}}' "$work/clip.out" \
    || fail "clipboard came back as: $(grep clipboard "$work/clip.out")"

# Screenshot: only where there is a screen to capture.
if [[ "${QT_QPA_PLATFORM:-}" != offscreen && -n "${DISPLAY:-}" ]]; then
    send screenshot > /dev/null || fail "screenshot"
    for _ in $(seq 80); do compgen -G "$HOME/Desktop/Tendril_*.png" > /dev/null && break; sleep 0.1; done
    shot=$(compgen -G "$HOME/Desktop/Tendril_*.png" | head -n1)
    [[ -n "$shot" ]] || fail "no screenshot on the Desktop"
    [[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' ')" == 89504e470d0a1a0a ]] || fail "$shot is not a PNG"
    echo "PASS: screenshot $(basename "$shot")"
fi
echo "PASS: volume, launch/running/quit and clipboard through tendril-phone"
