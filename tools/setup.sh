#!/usr/bin/env bash
# Installs the Debian packages that are missing: those of tools/packages.txt
# (building and running), and with "test" those of tools/packages-test.txt.
# Quiet when everything is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here/packages.txt")
[[ "${1:-}" == test ]] && lists+=("$here/packages-test.txt")
mapfile -t wanted < <(cat "${lists[@]}" | grep -vE '^\s*(#|$)')
missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
((${#missing[@]} == 0)) && exit 0
echo "Installing: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
