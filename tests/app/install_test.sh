#!/usr/bin/env bash
# What `cmake --install` and the Debian package put on a system: the files,
# their validity, and a packaged program that starts.
# usage: install_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
id=com.larkspire.Tendril
p=$work/prefix
files="bin/tendril bin/tendril-phone share/applications/$id.desktop share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
    $(printf "share/icons/hicolor/%s/apps/$id.png " 48x48 64x64 128x128 256x256)
    $(printf "share/gnome-shell/extensions/window-control@tendril.larkspire.com/%s " metadata.json extension.js)"

cmake --install "$build" --prefix "$p" > /dev/null || fail "cmake --install"
for f in $files; do [[ -f "$p/$f" ]] || fail "not installed: $f"; done
grep -qx "ExecStart=$p/bin/tendril --headless" "$p/share/systemd/user/tendril.service" || fail "unit"
! command -v desktop-file-validate > /dev/null || desktop-file-validate "$p/share/applications/$id.desktop" \
    || fail "desktop entry"
! command -v appstreamcli > /dev/null || appstreamcli validate --no-net "$p/share/metainfo/$id.metainfo.xml" \
    || fail "metainfo"

command -v dpkg-shlibdeps > /dev/null || exit 77
(cd "$build" && cpack -G DEB -B "$work/pkg") > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(compgen -G "$work/pkg/tendril_*.deb" | head -n1)
dpkg-deb --contents "$deb" > "$work/contents" || fail "no readable package"
for f in $files; do grep -q " \./usr/$f$" "$work/contents" || fail "not packaged: $f"; done
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6core6* && "$depends" == *qml6-module-qtquick* ]] || fail "dependencies: $depends"
dpkg-deb -x "$deb" "$work/root"
grep -qx "ExecStart=/usr/bin/tendril --headless" "$work/root/usr/lib/systemd/user/tendril.service" \
    || fail "the packaged unit does not run /usr/bin/tendril"
[[ "$("$work/root/usr/bin/tendril" --version)" == "tendril "* ]] || fail "the packaged program does not start"
echo "installed and packaged: $(basename "$deb")"
