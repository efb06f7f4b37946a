#!/usr/bin/env bash
# Runs one test in a world of its own: a private bus that stands in for the
# session and the system bus and starts nothing of the machine's, the wait
# scale of its build tree, and no process left behind when it ends.
# usage: isolate.sh SCALE COMMAND [ARGS...]
set -uo pipefail
source "$(dirname "$0")/private-bus.sh"
export TENDRIL_TEST_TIME_SCALE=${TENDRIL_TEST_TIME_SCALE:-$1}
shift
work=$(mktemp -d /tmp/tendril-test.XXXXXX)
# Everything this test starts inherits the mark, whoever forks or activates it.
mark=TENDRIL_TEST_OWNER=$work
export "${mark?}"
finish() { end_marked "$mark"; rm -rf "$work"; }
trap finish EXIT
trap 'exit 143' TERM INT
config=$(write_bus_config "$work")
# Not exec'd: the test's status comes back here, after which the leftovers go.
dbus-run-session --config-file="$config" -- \
    sh -c 'DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS exec "$@"' sh "$@"
