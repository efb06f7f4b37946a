# Shared by the end-to-end scripts, sourced once `work` and `phone` are set.
# At exit: the processes in `pids` end, then `more_cleanup` (where defined)
# runs, then the run's folder goes.
end_run() {
    kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null
    declare -F more_cleanup > /dev/null && more_cleanup
    [[ -n ${KEEP_WORK:-} ]] || rm -rf "$work"
}
# HOME and the runtime folder (this run's own: one window per user) in the
# run's folder; the other XDG folders fall back to HOME's.
private_home() {
    export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
    unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}
# An application bundle in DIR whose program is PROGRAM-TEXT, with an icon.
bundle() { # DIR ID NAME PROGRAM-TEXT [ICON]
    mkdir -p "$1/Contents/MacOS" "$1/Contents/Resources"
    echo "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>$2</string>
<key>CFBundleName</key><string>$3</string><key>CFBundleExecutable</key><string>run</string>
<key>CFBundleIconFile</key><string>icon.png</string></dict></plist>" > "$1/Contents/Info.plist"
    printf '%s\n' "$4" > "$1/Contents/MacOS/run" && chmod +x "$1/Contents/MacOS/run"
    cp "${5:-/usr/share/icons/hicolor/48x48/apps/chromium.png}" "$1/Contents/Resources/icon.png"
}
fail() { echo "FAIL: $*"; sed 's/^/  log: /' "$work"/*.log 2>/dev/null | tail -n 40; exit 1; }
# Retries a command every tenth of a second, N times at most (scaled).
wait_for() { local n=$(($1 * ${TENDRIL_TEST_TIME_SCALE:-1})); shift; for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done; "$@"; }
# Sleeps for a scaled number of seconds: only to see that nothing more happens.
settle() { sleep "$(awk -v s="$1" -v f="${TENDRIL_TEST_TIME_SCALE:-1}" 'BEGIN { print s * f }')"; }
running() { pgrep -f "$1" > /dev/null; }
stopped() { ! running "$1"; }
greeted() { "$phone" ${port:+--port "$port"} --listen 0.2 ping > "$work/hello.out" 2>/dev/null && grep -q macHello "$work/hello.out"; }
# Waits for the program on its port and reads the PIN from its greeting.
read_pin() {
    wait_for 150 greeted
    pin=$(sed -n 's/.*"macHello":{"pin":"\([0-9]\{4\}\)".*/\1/p' "$work/hello.out" | head -n1)
    [[ -n "$pin" ]] || fail "no greeting with a PIN"
}
send() { "$phone" ${port:+--port "$port"} --pin "$pin" --listen "${LISTEN:-0.3}" "$@" 2>> "$work/phone.log"; }
