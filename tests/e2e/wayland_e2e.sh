#!/usr/bin/env bash
# The program under a headless Wayland compositor, paired with the
# command-line phone, on a private session bus with no desktop services.
#   weston: no seat; the program must start, and the actions this compositor
#           cannot do must each write their failure line.
#   sway:   data-control; the clipboard goes both ways through the phone while
#           the compositor's clipboard is read and set by other clients.
#           sway refuses root: it and the program run as a throw-away user.
# usage: wayland_e2e.sh weston|sway DESKTOP_PROGRAM PHONE_PROGRAM
set -uo pipefail
mode=$1 desktop=$2 phone=$3
command -v "$mode" > /dev/null || { echo "SKIP: $mode is not installed"; exit 77; }
work=$(mktemp -d)
chmod 755 "$work"
pids=() user=
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    # What the user's programs left serving the clipboard.
    [[ -n "$user" ]] && { pkill -KILL -u "$user"; sleep 0.2; userdel -f "$user" 2>/dev/null; }
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; sed 's/^/  log: /' "$work"/*.log 2>/dev/null | tail -n 40; exit 1; }

as_user=()
if [[ $mode == sway ]]; then
    [[ $(id -u) == 0 ]] || { echo "SKIP: making a throw-away user needs root"; exit 77; }
    user=tendril-e2e-$$
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || { echo "SKIP: useradd failed"; exit 77; }
    as_user=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups)  # execs: its pid is the program's
fi
x_display=${DISPLAY:-}
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
unset DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_CURRENT_DESKTOP
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
[[ -n "$user" ]] && chown -R "$user" "$HOME" "$XDG_RUNTIME_DIR"
run() { "${as_user[@]}" env HOME="$HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"; }
# In the background, with the program's own pid kept (not a subshell's).
start() {
    local log=$1
    shift
    "${as_user[@]}" env HOME="$HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@" > "$log" 2>&1 &
    pids+=($!)
}

bus_address=$(run dbus-daemon --session --fork --print-address=1 --print-pid=3 3> "$work/bus.pid")
pids+=("$(cat "$work/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS=$bus_address DBUS_SYSTEM_BUS_ADDRESS=$bus_address

if [[ $mode == weston ]]; then
    weston --backend=headless-backend.so --socket=tendril-wl --idle-time=0 > "$work/compositor.log" 2>&1 &
    pids+=($!)
else
    : > "$work/sway.conf"
    start "$work/compositor.log" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        WLR_HEADLESS_OUTPUTS=1 sway -c "$work/sway.conf"
fi
for _ in $(seq 100); do
    socket=$(cd "$XDG_RUNTIME_DIR" && ls | grep -E '^(tendril-wl|wayland-[0-9]+)$' | head -n1)
    [[ -n "$socket" ]] && break
    sleep 0.1
done
[[ -n "$socket" ]] || fail "$mode made no Wayland socket"
export WAYLAND_DISPLAY=$socket

start "$work/desktop.log" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland QT_QUICK_BACKEND=software \
    DBUS_SESSION_BUS_ADDRESS="$bus_address" DBUS_SYSTEM_BUS_ADDRESS="$bus_address" PATH="$PATH" "$desktop"
for _ in $(seq 150); do
    "$phone" --listen 0.2 ping > "$work/hello.out" 2>/dev/null && grep -q macHello "$work/hello.out" && break
    sleep 0.1
done
pin=$(sed -n 's/.*"macHello":{"pin":"\([0-9]\{4\}\)".*/\1/p' "$work/hello.out" | head -n1)
[[ -n "$pin" ]] || fail "no greeting from the program under $mode"
send() { "$phone" --pin "$pin" --listen "${LISTEN:-0.3}" "$@" > "$work/reply.out" 2>> "$work/phone.log"; }
send ping && grep -q pairingConfirmed "$work/reply.out" || fail "pairing"

if [[ $mode == weston ]]; then
    for action in showDesktop missionControl toggleDarkMode lockScreen; do
        send "$action" || fail "$action"
    done
    for _ in $(seq 50); do (( $(grep -c '^\[AppleScript\] ' "$work/desktop.log") >= 4 )) && break; sleep 0.1; done
    grep -q '^\[AppleScript\] Cannot show the desktop: ' "$work/desktop.log" || fail "no failure line for showDesktop"
    grep -q '^\[AppleScript\] Mission Control has no counterpart' "$work/desktop.log" || fail "no failure line for missionControl"
    grep -q '^\[AppleScript\] Cannot switch dark mode: ' "$work/desktop.log" || fail "no failure line for toggleDarkMode"
    grep -q '^\[AppleScript\] Cannot lock the screen: ' "$work/desktop.log" || fail "no failure line for lockScreen"
    kill -0 "${pids[-1]}" || fail "the program is gone"
    echo "PASS: started under weston without a seat, paired, failure lines written"
    # No data-control here: with an X display beside it, the window goes there.
    if [[ -n "$x_display" ]] && command -v xwininfo > /dev/null; then
        # The next start must not find this one still holding its bus name.
        kill "${pids[-1]}" && wait "${pids[-1]}" 2>/dev/null
        DISPLAY=$x_display XDG_SESSION_TYPE=wayland QT_QUICK_BACKEND=software "$desktop" > "$work/desktop-x.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 100); do DISPLAY=$x_display xwininfo -root -tree | grep -q '"Tendril"' && break; sleep 0.1; done
        DISPLAY=$x_display xwininfo -root -tree | grep -q '"Tendril"' || fail "no window on the X display"
        echo "PASS: without data-control the window went to the X display"
    fi
else
    send clipboardPayload "from the phone" || fail "clipboardPayload"
    for _ in $(seq 30); do
        [[ $(run WAYLAND_DISPLAY="$socket" wl-paste --no-newline 2>/dev/null) == "from the phone" ]] && break
        sleep 0.1
    done
    [[ $(run WAYLAND_DISPLAY="$socket" wl-paste --no-newline) == "from the phone" ]] \
        || fail "the compositor's clipboard holds: $(run WAYLAND_DISPLAY="$socket" wl-paste 2>&1)"
    # wl-copy stays to serve the clipboard: it must hold none of our pipes.
    run WAYLAND_DISPLAY="$socket" wl-copy "from the desktop" > /dev/null 2>&1
    send requestClipboard || fail "requestClipboard"
    grep -qx '{"clipboardPayload":{"text":"from the desktop"}}' "$work/reply.out" \
        || fail "the phone got: $(cat "$work/reply.out")"
    echo "PASS: the clipboard went both ways under sway through data-control"
fi
