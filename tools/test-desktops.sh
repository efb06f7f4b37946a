#!/usr/bin/env bash
# The window-control runs under the newer desktop generation (GNOME Shell 45+
# with the ES-module extension, KWin 6): the shells, their buses and the test
# applications run in a Debian 13 root kept in a fixed folder; the host's
# build runs as their client through the test's folder, shared with the root.
# The root is built once (some minutes, about 1.3 GB) and reused.
# Prints a PASS, SKIP or FAIL line per compositor; fails if any failed.
# usage: test-desktops.sh [BUILD_DIR]
# TENDRIL_DESKTOPS_ROOT: another folder for the root; TENDRIL_DESKTOPS_CHROOT=1:
# a plain chroot even where mount namespaces are allowed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${TENDRIL_DESKTOPS_ROOT:-/var/cache/tendril-trixie-root}
if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi

# The Debian mirror this machine's own sources name.
mirror() {
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
        /^deb / && $2 ~ /\/debian\/?$/ { print $2; exit }
        /^URIs:/ && $2 ~ /\/debian\/?$/ { print $2; exit }'
}

# A finished root holds this mark; a half-built one is thrown away.
build_root() {
    [[ -f $root/.tendril-root-done ]] && return 0
    command -v debootstrap > /dev/null || "$here/setup.sh" desktops || return 1
    local url started=$SECONDS
    url=$(mirror)
    [[ -n $url ]] || { echo "FAIL: no Debian mirror in /etc/apt/sources.list*"; return 1; }
    echo "Building the Debian 13 root in $root from $url (once; some minutes)"
    $sudo rm -rf "$root" && $sudo mkdir -p "$root" || return 1
    $sudo debootstrap --variant=minbase trixie "$root" "$url" > "$root.log" 2>&1 || { echo "FAIL: debootstrap, see $root.log"; return 1; }
    mapfile -t packages < <(grep -vE '^\s*(#|$)' "$here/packages-trixie.txt")
    $sudo chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}" \
        >> "$root.log" 2>&1 || { echo "FAIL: installing into the root, see $root.log"; return 1; }
    $sudo chroot "$root" apt-get clean
    # The root's own path leads back to it, so a folder under the root has one
    # name inside and out (for runs without a mount namespace).
    $sudo mkdir -p "$root$(dirname "$root")" && $sudo ln -sfn / "$root$root"
    $sudo touch "$root/.tendril-root-done"
    echo "Root built in $((SECONDS - started)) s ($(du -sh "$root" 2>/dev/null | cut -f1))"
}

# One build at a time; the others wait for it and use it.
exec 9> "$root.lock" && flock 9 && build_root || exit 1
exec 9>&-
build=$(cd "${1:-build}" 2>/dev/null && pwd) || { echo "FAIL: no build folder '${1:-build}'"; exit 1; }
for program in tendril tendril-phone; do
    [[ -x $build/$program ]] || { echo "FAIL: $build/$program is not built"; exit 1; }
done
extension=$(echo "$build"/platform/gnome/extension/module/*@*)
[[ -f $extension/metadata.json ]] || { echo "FAIL: no GNOME 45+ extension under $build"; exit 1; }

# Namespaces where allowed; else a plain chroot, whose test folders must lie
# inside the root.
if [[ -z ${TENDRIL_DESKTOPS_CHROOT:-} ]] && unshare --mount true 2> /dev/null; then
    export TMPDIR=/tmp
else
    export TMPDIR=$root/tmp
    echo "No mount namespace here: a plain chroot"
fi
export E2E_RUN="$here/../tests/support/in-root.sh $root"
status=0 out=$(mktemp)
trap 'rm -f "$out"' EXIT
for mode in kwin gnome gnome-late; do
    started=$SECONDS
    "$here/../tests/support/isolate.sh" 1 "$here/../tests/e2e/compositor_e2e.sh" "$mode" "$build/tendril" \
        "$build/tendril-phone" "$extension" > "$out" 2>&1
    result=$?
    grep -E '^(PASS|SKIP|FAIL|  log)' "$out" | sed "s/^/  /"
    case $result in
        0) verdict=PASS ;;
        77) verdict=SKIP ;;
        *) verdict=FAIL status=1 ;;
    esac
    grep -q '^SKIP' "$out" && [[ $verdict == PASS ]] && verdict="PASS (with skips)"
    echo "$verdict: $mode on Debian 13 ($((SECONDS - started)) s)"
done
exit $status
