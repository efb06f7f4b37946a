#!/usr/bin/env bash
# The program under a headless Wayland compositor, paired with the
# command-line phone, on a private session bus with no desktop services.
#   weston: no seat; the program must start, and a desktop entry is
#           launched, reported running (nothing in front), hidden and
#           minimised with one log line each, and quit. (The failure lines of
#           the quick actions are tst_desktopservices' and tst_appcontrol's.)
#   sway:   data-control; the clipboard goes both ways through the phone while
#           the compositor's clipboard is read and set by other clients.
#           sway refuses root: it and the program run as a throw-away user.
# usage: wayland_e2e.sh weston|sway DESKTOP_PROGRAM PHONE_PROGRAM
# (weston also takes the headless server for DESKTOP_PROGRAM)
set -uo pipefail
mode=$1 desktop=$2 phone=$3
command -v "$mode" > /dev/null || { echo "SKIP: $mode is not installed"; exit 77; }
work=$(mktemp -d) pids=() user= as_user=()
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/../support/private-bus.sh"
port=$((20000 + RANDOM % 20000)) # not the protocol's port, which another program may hold
chmod 755 "$work"
more_cleanup() {
    pkill -TERM -f "$work/bin/sleeper"
    # What the user's programs left serving the clipboard.
    [[ -n "$user" ]] && { pkill -KILL -u "$user"; sleep 0.2; userdel -f "$user" 2>/dev/null; }
}
trap end_run EXIT

if [[ $mode == sway ]]; then
    [[ $(id -u) == 0 ]] || { echo "SKIP: making a throw-away user needs root"; exit 77; }
    user=tendril-e2e-$$
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || { echo "SKIP: useradd failed"; exit 77; }
    as_user=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups)  # execs: its pid is the program's
    # The build tree may lie where only root may enter (a clone under /root).
    install -m 755 "$desktop" "$work/tendril" && desktop=$work/tendril
fi
x_display=${DISPLAY:-}
private_home
unset DISPLAY XDG_CURRENT_DESKTOP
[[ -n "$user" ]] && chown -R "$user" "$HOME" "$XDG_RUNTIME_DIR"
run() { "${as_user[@]}" env HOME="$HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"; }
# In the background, with the program's own pid kept (not a subshell's).
start() { local log=$1; shift; "${as_user[@]}" env HOME="$HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@" > "$log" 2>&1 & pids+=($!); }

bus_config=$(write_bus_config "$work/bus")
[[ -n "$user" ]] && chown -R "$user" "$work/bus"
export DBUS_SESSION_BUS_ADDRESS=$(run dbus-daemon --config-file="$bus_config" --fork --print-address=1 --print-pid=3 3> "$work/bus.pid")
export DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS
pids+=("$(cat "$work/bus.pid")")
if [[ $mode == weston ]]; then
    export XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/none"
    mkdir -p "$work/bin" "$XDG_DATA_HOME/applications"
    printf '#!/bin/sh\nwhile :; do sleep 1; done\n' > "$work/bin/sleeper" && chmod +x "$work/bin/sleeper"
    printf '[Desktop Entry]\nType=Application\nName=Sleeper\nExec=%s\n' "$work/bin/sleeper" \
        > "$XDG_DATA_HOME/applications/org.example.Sleeper.desktop"
    start "$work/compositor.log" weston --backend=headless-backend.so --socket=tendril-wl --idle-time=0
else
    : > "$work/sway.conf"
    start "$work/compositor.log" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        WLR_HEADLESS_OUTPUTS=1 sway -c "$work/sway.conf"
fi
socket() { socket=$(cd "$XDG_RUNTIME_DIR" && ls | grep -E '^(tendril-wl|wayland-[0-9]+)$' | head -n1) && [[ -n $socket ]]; }
wait_for 100 socket || fail "$mode made no Wayland socket"
export WAYLAND_DISPLAY=$socket

start "$work/desktop.log" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland QT_QUICK_BACKEND=software \
    DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" PATH="$PATH" "$desktop" --port "$port"
read_pin
send ping > "$work/reply.out" && grep -q pairingConfirmed "$work/reply.out" || fail "pairing"

if [[ $mode == weston ]]; then
    send launchApp org.example.Sleeper > /dev/null || fail "launchApp"
    wait_for 50 running "$work/bin/sleeper" || fail "launchApp started nothing"
    LISTEN=2 send requestAppList > "$work/updates.out" || fail "requestAppList"
    grep -q '{"runningAppsUpdate":{"bundleIDs":\[[^]]*"org.example.Sleeper"' "$work/updates.out" || fail "not reported running"
    grep -q '"frontmostAppUpdate"' "$work/updates.out" || fail "no frontmost report"
    grep '"frontmostAppUpdate"' "$work/updates.out" | grep -q bundleID && fail "a frontmost application was named"
    for command in hideApp hideApp minimizeApp minimizeApp hideApp; do
        send "$command" org.example.Sleeper > /dev/null || fail "$command"
    done
    wait_for 50 grep -q '^\[Minimize\] ' "$work/desktop.log"
    settle 0.5 # and no second line comes
    [[ $(grep -c '^\[Hide\] ' "$work/desktop.log") == 1 ]] || fail "hide did not log exactly one line"
    [[ $(grep -c '^\[Minimize\] ' "$work/desktop.log") == 1 ]] || fail "minimise did not log exactly one line"
    running "$work/bin/sleeper" || fail "hiding ended the application"
    send quitApp org.example.Sleeper > /dev/null || fail "quitApp"
    wait_for 50 stopped "$work/bin/sleeper" || fail "quitApp left the window-less application running"
    kill -0 "${pids[-1]}" || fail "the program is gone"
    # No data-control here: with an X display beside it, the window goes there.
    if [[ -n "$x_display" && $(basename "$desktop") == tendril ]] && command -v xwininfo > /dev/null; then
        kill "${pids[-1]}" && wait "${pids[-1]}" 2>/dev/null # must not hold its bus name at the next start
        DISPLAY=$x_display XDG_SESSION_TYPE=wayland QT_QUICK_BACKEND=software "$desktop" --port "$port" > "$work/desktop-x.log" 2>&1 &
        pids+=($!)
        x_window() { DISPLAY=$x_display xwininfo -root -tree | grep -q '"Tendril"'; }
        wait_for 100 x_window || fail "no window on the X display"
    fi
    echo "PASS: under weston without a seat: running, no frontmost, one hide/minimise line, quit"
else
    pasted() { [[ $(run WAYLAND_DISPLAY="$socket" wl-paste --no-newline 2>/dev/null) == "from the phone" ]]; }
    send clipboardPayload "from the phone" > /dev/null || fail "clipboardPayload"
    wait_for 30 pasted || fail "the compositor's clipboard holds: $(run WAYLAND_DISPLAY="$socket" wl-paste 2>&1)"
    # wl-copy stays to serve the clipboard: it must hold none of our pipes.
    run WAYLAND_DISPLAY="$socket" wl-copy "from the desktop" > /dev/null 2>&1
    send requestClipboard > "$work/reply.out" || fail "requestClipboard"
    grep -qx '{"clipboardPayload":{"text":"from the desktop"}}' "$work/reply.out" || fail "the phone got: $(cat "$work/reply.out")"
    echo "PASS: the clipboard went both ways under sway through data-control"
fi
