#!/usr/bin/env bash
# Checks a built .deb as Debian and the desktops would: lintian with no error and no warning, the desktop
# entry and metainfo accepted by their validators without a remark. Then unpacks it into a throwaway root
# and runs what it installs from there: every program's libraries resolve, each command has its gzipped
# manual page, rankmoth-cli names the package's version, the manual page's example runs against the
# package's own rankmoth-sim, the user units pass systemd-analyze verify, and the window's class is the one its
# desktop entry expects.
# Usage: scripts/check_package.sh [package.deb]   (default: the newest out/rankmoth_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls -t out/rankmoth_*.deb | head -n 1)}"
root="$(mktemp -d)"
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$root"' EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

# Every tag is a finding to mend, not to override: the package carries no lintian overrides.
echo "check_package: lintian $deb"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

dpkg-deb --field "$deb" Depends | grep -q libqt6 || fail "no library dependencies in $deb"
dpkg -x "$deb" "$root/pkg"
usr="$root/pkg/usr"
version="$(dpkg-deb --field "$deb" Version)"
app=io.github.rankmoth.Rankmoth

# desktop-file-validate exits 0 on hints; a hint is a finding here too.
remarks="$(desktop-file-validate "$usr/share/applications/$app.desktop" 2>&1)" || true
[ -z "$remarks" ] || fail "desktop-file-validate: $remarks"
appstreamcli validate --no-net --explain "$usr/share/metainfo/$app.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$app.metainfo.xml" ||
    fail "the metainfo's release is not the package's version $version"
zcat "$usr/share/doc/rankmoth/changelog.gz" | head -n 1 | grep -qF "rankmoth ($version)" ||
    fail "the changelog's latest entry is not the package's version $version"

for program in usr/bin/rankmoth usr/bin/rankmoth-cli usr/lib/rankmoth/rankmoth-sim; do
    [ -x "$root/pkg/$program" ] || fail "the package carries no $program"
    missing="$(ldd "$root/pkg/$program" | grep 'not found' || true)"
    [ -z "$missing" ] || fail "unresolved libraries of $program:"$'\n'"$missing"
done
for name in rankmoth rankmoth-cli; do
    page="$usr/share/man/man1/$name.1.gz"
    [ -s "$page" ] || fail "no manual page for $name"
    # man renders with warnings on: a page groff complains about is reported with what it said.
    warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)" || true
    [ -z "$warnings" ] || fail "manual page of $name: $warnings"
done
echo "check_package: rankmoth $version: every library resolves, every command has its manual page"

# The user units, verified as the user's manager would load them. verify wants a runtime folder of the
# user's, which a container has none of, and ExecStart's binary to exist: the service is checked as a copy
# whose ExecStart names the unpacked binary, next to the timer that starts it. Any remark fails the check.
units="$root/pkg/usr/lib/systemd/user"
for unit in rankmoth-track.service rankmoth-track.timer; do
    [ -s "$units/$unit" ] || fail "the package carries no user unit $unit"
done
grep -qx 'ExecStart=/usr/bin/rankmoth-cli track' "$units/rankmoth-track.service" ||
    fail "rankmoth-track.service does not start the installed rankmoth-cli track"
mkdir -p "$root/units" "$root/runtime"
chmod 700 "$root/runtime"
sed "s|^ExecStart=/usr/bin/|ExecStart=$usr/bin/|" "$units/rankmoth-track.service" >"$root/units/rankmoth-track.service"
cp "$units/rankmoth-track.timer" "$root/units/"
remarks="$(cd "$root/units" && XDG_RUNTIME_DIR="$root/runtime" systemd-analyze --user --man=no verify \
    ./rankmoth-track.timer ./rankmoth-track.service 2>&1)" || fail "systemd-analyze verify: $remarks"
[ -z "$remarks" ] || fail "systemd-analyze verify: $remarks"
echo "check_package: the user units verify"

cli="$usr/bin/rankmoth-cli"
[ "$("$cli" --version)" = "rankmoth-cli $version" ] || fail "--version says \"$("$cli" --version)\", not rankmoth-cli $version"

# The manual page's example, with the simulator the package ships at the path the page names.
sim_path="$(zcat "$usr/share/man/man1/rankmoth-cli.1.gz" | sed -n 's/\\-/-/g; s/^\(\/[^ ]*rankmoth-sim\) .*/\1/p' | head -n 1)"
[ "$sim_path" = /usr/lib/rankmoth/rankmoth-sim ] || fail "the manual page's example runs \"$sim_path\""
"$root/pkg$sim_path" --port=0 --port-file="$root/port" >"$root/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$root/port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$root/sim.log"; fail "rankmoth-sim ended"; }
    sleep 0.05
done
[ -s "$root/port" ] || fail "rankmoth-sim did not start"
sim="127.0.0.1:$(cat "$root/port")"
# A fresh user: the hosts come from [hosts] of the settings file, as an installed copy's would.
mkdir -p "$root/config/rankmoth"
printf '[hosts]\nmarket=%s\nshop_base=http://%s/\nversion_notice=\nstart_tab_notice=\n' "$sim" "$sim" \
    >"$root/config/rankmoth/config.ini"
user=(env -u RANKMOTH_MARKET_HOST -u RANKMOTH_SHOP_BASE -u RANKMOTH_HISTORY XDG_CONFIG_HOME="$root/config"
      XDG_DATA_HOME="$root/data" XDG_CACHE_HOME="$root/cache")
(cd "$root" && "${user[@]}" timeout 120 "$cli" items --shop demo) >"$root/items"
[ "$(wc -l <"$root/items")" -ge 45 ] || { cat "$root/items"; fail "rankmoth-cli items listed fewer than 45 items"; }
(cd "$root" && "${user[@]}" timeout 120 "$cli" query --shop demo --pages 2) >"$root/query" ||
    { cat "$root/query"; fail "rankmoth-cli query did not end cleanly"; }
tail -n 1 "$root/query"
[ -s "$root/data/rankmoth/history.sqlite" ] || fail "the pass was not kept in the user's history"

# The window under a virtual display, started from its desktop entry: its class must be StartupWMClass.
scripts/installed_screenshot.sh "$root/pkg"
echo "check_package: ok"
