# Shared by the end-to-end scripts, sourced once `work` and `phone` are set.
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
