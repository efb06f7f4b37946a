#!/usr/bin/env bash
# Installs the Debian packages that are missing: those of tools/packages.txt
# (building and running), and with "test" those of tools/packages-test.txt
# and tools/packages-desktops.txt (the latter without recommendations); with
# "desktops" those of tools/packages-test-desktops.txt (make test-desktops).
# Quiet when everything is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here/packages.txt")
[[ "${1:-}" == test ]] && lists+=("$here/packages-test.txt" "$here/packages-desktops.txt")
[[ "${1:-}" == desktops ]] && lists+=("$here/packages-test-desktops.txt")
if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
updated=

# install LIST [APT OPTIONS]: the packages of LIST that are missing.
install() {
    local list=$1 pkg status missing=()
    shift
    mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$list")
    for pkg in "${wanted[@]}"; do
        status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
        [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return 0
    echo "Installing: ${missing[*]}"
    [[ -n $updated ]] || { $sudo apt-get update -qq; updated=1; }
    $sudo apt-get install -y -qq "$@" "${missing[@]}" >/dev/null
}

for list in "${lists[@]}"; do
    case $list in
        *desktops.txt) install "$list" --no-install-recommends ;;
        *) install "$list" ;;
    esac
done

# The web remote's browser tests drive the system's Chromium with the pinned
# playwright-core (no browser is downloaded).
if [[ "${1:-}" == test ]]; then
    # Debian's npm only where no npm came with Node (a Node from elsewhere
    # brings its own, which Debian's package would remove).
    command -v npm >/dev/null || install <(echo npm)
    web="$here/../tests/web"
    pinned=$(sed -n 's/.*"playwright-core": "\(.*\)".*/\1/p' "$web/package.json")
    if ! grep -qs "\"version\": \"$pinned\"" "$web/node_modules/playwright-core/package.json"; then
        echo "Installing the web tests' npm packages"
        (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
    fi
fi
