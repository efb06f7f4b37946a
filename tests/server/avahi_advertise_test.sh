#!/usr/bin/env bash
# The server's DNS-SD advertisement as another program sees it. Starts an
# Avahi daemon confined to the loopback interface, on the test's private bus
# (which stands in for the system bus), and stops what it started.
set -uo pipefail
probe=$1
scale=${TENDRIL_TEST_TIME_SCALE:-1}
# What this test started ("kind pid"), for a later run to stop if this one is
# killed (ctest's time-out gives no chance to clean up).
leftovers=/run/tendril-avahi-test.pids
work=
cleanup() {
    if [[ -f "$leftovers" ]]; then
        while read -r kind pid; do
            kill "$pid" 2>/dev/null
            [[ "$kind" == avahi ]] && rm -f /run/avahi-daemon/pid
        done < "$leftovers"
        sleep 0.5
    fi
    rm -rf "$work" "$leftovers"
}

if [[ $(id -u) -ne 0 ]] || ! command -v avahi-daemon >/dev/null || [[ -z ${DBUS_SYSTEM_BUS_ADDRESS:-} ]]; then
    echo "SKIP: needs root, avahi-daemon and a private bus (tests/support/isolate.sh)"
    exit 77
fi
cleanup
trap cleanup EXIT
if avahi-daemon --check 2>/dev/null; then
    echo "SKIP: an Avahi daemon of the machine's own is running; not touching it"
    exit 77
fi
work=$(mktemp -d)

# Loopback only, IPv4 only, no wide area, nothing published but our service
# and the address it resolves to.
cat > "$work/avahi.conf" <<CONF
[server]
allow-interfaces=lo
use-ipv4=yes
use-ipv6=no
ratelimit-interval-usec=1000000
ratelimit-burst=1000
[wide-area]
enable-wide-area=no
[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation=no
publish-domain=no
publish-aaaa-on-ipv4=no
publish-a-on-ipv6=no
[reflector]
enable-reflector=no
CONF
start_avahi() {
    avahi-daemon -D --no-drop-root --no-chroot --no-rlimits -f "$work/avahi.conf" || { echo "FAIL: cannot start avahi-daemon"; exit 1; }
    for _ in $(seq $((50 * scale))); do avahi-daemon --check 2>/dev/null && break; sleep 0.1; done
    [[ -f /run/avahi-daemon/pid ]] && echo "avahi $(cat /run/avahi-daemon/pid)" >> "$leftovers"
}

# The server starts before the daemon: it must register once the daemon is up.
QT_QPA_PLATFORM=offscreen "$probe" > "$work/probe.out" 2>&1 &
echo "probe $!" >> "$leftovers"
for _ in $(seq $((100 * scale))); do grep -q '^listening' "$work/probe.out" && break; sleep 0.1; done
name=$(awk -F'\t' '/^listening/ {print $2}' "$work/probe.out")
[[ -n "$name" ]] || { echo "FAIL: the server did not start listening"; cat "$work/probe.out"; exit 1; }
# avahi-browse escapes names: decimal \NNN for unusual bytes, backslash before . and \.
expected="$(printf '%s' "$name" | sed -e 's/\\/\\\\/g' -e 's/\./\\./g' -e 's/ /\\032/g');127.0.0.1;57432"
start_avahi

check_visible() {
    local found= deadline=$((SECONDS + 25 * scale))
    while [[ -z "$found" ]] && ((SECONDS < deadline)); do
        # Resolving can hang on entries that vanish; never wait long for one browse.
        timeout 5 avahi-browse -rtp _tendril._tcp > "$work/browse.out" 2>/dev/null
        # =;lo;IPv4;NAME;_tendril._tcp;local;HOST;ADDRESS;PORT;TXT
        # Only our server's entry: others on this machine may advertise the type too.
        found=$(awk -F';' '$1 == "=" && $5 == "_tendril._tcp" && $6 == "local" && $9 == "57432" {print $4 ";" $8 ";" $9}' "$work/browse.out" | head -n1)
        [[ -n "$found" ]] || sleep 0.5
    done
    [[ "$found" == "$expected" ]] || { echo "FAIL ($1): seen '$found', expected '$expected'"; cat "$work/browse.out"; return 1; }
    echo "PASS ($1): '$name' advertised as _tendril._tcp in local. on port 57432 at 127.0.0.1"
}

check_visible "daemon started after the server" || exit 1
# A daemon restart loses every registration; the server registers again.
avahi-daemon -k 2>/dev/null
for _ in $(seq $((50 * scale))); do avahi-daemon --check 2>/dev/null || break; sleep 0.1; done
start_avahi
check_visible "after a daemon restart" || exit 1
