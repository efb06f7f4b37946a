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

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log" || fail "cmake --install"
p=$work/prefix
for f in bin/tendril bin/tendril-phone share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/{48x48,64x64,128x128,256x256}/apps/$id.png \
    lib/systemd/user/tendril.service; do
    [[ -f "$p/$f" ]] || fail "not installed: $f"
done
grep -qx "ExecStart=$p/bin/tendril --headless" "$p/lib/systemd/user/tendril.service" \
    || fail "the unit does not run the installed program headless"
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$p/share/applications/$id.desktop" || fail "desktop entry"
fi
if command -v appstreamcli > /dev/null; then
    appstreamcli validate --no-net "$p/share/metainfo/$id.metainfo.xml" > "$work/as.log" \
        || { cat "$work/as.log"; fail "metainfo"; }
fi

command -v dpkg-deb > /dev/null && command -v dpkg-shlibdeps > /dev/null || exit 77
(cd "$build" && cpack -G DEB -B "$work/pkg") > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(compgen -G "$work/pkg/tendril_*.deb" | head -n1)
[[ -n "$deb" ]] || fail "no package made"
dpkg-deb --contents "$deb" > "$work/contents" || fail "unreadable package"
for f in usr/bin/tendril usr/bin/tendril-phone usr/share/applications/$id.desktop \
    usr/lib/systemd/user/tendril.service usr/share/icons/hicolor/scalable/apps/$id.svg; do
    grep -q " \./$f$" "$work/contents" || fail "not packaged: $f"
done
dpkg-deb -I "$deb" control > /dev/null || fail "no control file"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6core6* && "$depends" == *qml6-module-qtquick* ]] \
    || fail "dependencies not computed: $depends"
dpkg-deb -x "$deb" "$work/root"
grep -qx "ExecStart=/usr/bin/tendril --headless" "$work/root/usr/lib/systemd/user/tendril.service" \
    || fail "the packaged unit does not run /usr/bin/tendril"
[[ "$("$work/root/usr/bin/tendril" --version)" == "tendril "* ]] || fail "the packaged program does not start"
echo "installed and packaged: $(basename "$deb")"
