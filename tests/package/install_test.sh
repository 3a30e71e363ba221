#!/usr/bin/env bash
# Installs the build into a throwaway root and checks what an installed copy is: its file list, a desktop
# entry and metainfo the desktop tools accept, and that the installed program, started with its folder
# read-only, keeps its files in the user's folders and writes nothing beside itself.
# Usage: install_test.sh <build dir>
set -euo pipefail
build="$1"
root="$(mktemp -d)"
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    chmod -R u+w "$root"
    rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/dest/usr"
app=io.github.rankmoth.Rankmoth

expected="bin/rankmoth
share/applications/$app.desktop
share/icons/hicolor/128x128/apps/$app.png
share/icons/hicolor/256x256/apps/$app.png
share/icons/hicolor/48x48/apps/$app.png
share/icons/hicolor/scalable/apps/$app.svg
share/metainfo/$app.metainfo.xml
share/rankmoth/XiaoFenLei.txt
share/doc/rankmoth/copyright
share/doc/rankmoth/changelog.gz
share/man/man1/rankmoth.1.gz"
# rankmoth-cli and rankmoth-sim are built beside the window program unless a build leaves them out.
[ -e "$usr/bin/rankmoth-cli" ] && expected+=$'\nbin/rankmoth-cli\nshare/man/man1/rankmoth-cli.1.gz'\
$'\nlib/systemd/user/rankmoth-track.service\nlib/systemd/user/rankmoth-track.timer'
[ -e "$usr/lib/rankmoth/rankmoth-sim" ] && expected+=$'\nlib/rankmoth/rankmoth-sim'
actual="$(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)"
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] || fail "installed files differ:"$'\n'"$(diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual"))"
for side in 48 128 256; do
    file "$usr/share/icons/hicolor/${side}x$side/apps/$app.png" | grep -q "$side x $side" || fail "icon $side is not $side px"
done
cmp -s "$usr/share/rankmoth/XiaoFenLei.txt" "$(dirname "$0")/../../app/qt/resources/XiaoFenLei.txt" ||
    fail "the example sub-category list is not installed byte for byte"

desktop-file-validate "$usr/share/applications/$app.desktop"
appstreamcli validate --no-net --explain "$usr/share/metainfo/$app.metainfo.xml"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$app.metainfo.xml" ||
    fail "the metainfo's release is not the project version"
if [ -e "$usr/bin/rankmoth-cli" ]; then
    grep -qx 'ExecStart=/usr/bin/rankmoth-cli track' "$usr/lib/systemd/user/rankmoth-track.service" ||
        fail "the track service does not start the installed rankmoth-cli"
    said="$("$usr/bin/rankmoth-cli" --version)"
    [ "$said" = "rankmoth-cli $version" ] || fail "rankmoth-cli --version says \"$said\", not \"rankmoth-cli $version\""
fi
for page in "$usr"/share/man/man1/*.gz "$usr/share/doc/rankmoth/changelog.gz"; do
    gzip -t "$page" || fail "$page is not gzipped"
done

# An installed copy: its folder is read-only (by its mode, which even root respects here). The notice
# checks are off through [hosts], so it starts without any server.
chmod a-w "$usr/bin"
home="$root/home"
mkdir -p "$home/.config/rankmoth"
printf '[hosts]\nmarket=127.0.0.1:9\nversion_notice=\nstart_tab_notice=\n' >"$home/.config/rankmoth/config.ini"
before="$(ls -A "$usr/bin")"
(cd "$root" && exec env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME HOME="$home" \
    QT_QPA_PLATFORM=offscreen "$usr/bin/rankmoth" >"$root/out.log" 2>&1) &
pid=$!
for _ in $(seq 300); do
    [ -s "$home/.local/share/rankmoth/rankmoth-skin.qss" ] && [ -s "$home/.config/rankmoth/XiaoFenLei.txt" ] && break
    kill -0 "$pid" 2>/dev/null || { cat "$root/out.log"; fail "the installed program ended early"; }
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null || { cat "$root/out.log"; fail "the installed program ended"; }
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
[ -s "$home/.local/share/rankmoth/rankmoth-skin.qss" ] || { cat "$root/out.log"; fail "no skin in the data folder"; }
cmp -s "$home/.config/rankmoth/XiaoFenLei.txt" "$usr/share/rankmoth/XiaoFenLei.txt" ||
    fail "the sub-category list was not copied from the example byte for byte"
[ -d "$home/.cache/rankmoth" ] || fail "no cache folder"
[ "$(ls -A "$usr/bin")" = "$before" ] || fail "files written beside the executable: $(ls -A "$usr/bin")"
[ -z "$(ls -A "$root" | grep -vxE 'dest|home|out.log')" ] || fail "files written in the current directory"
grep -q '^\[hosts\]' "$home/.config/rankmoth/config.ini" || fail "the [hosts] section was lost"
[ ! -s "$root/out.log" ] || { cat "$root/out.log"; }
echo "install_test: ok"
