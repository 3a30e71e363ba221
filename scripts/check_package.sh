#!/usr/bin/env bash
# Unpacks a built .deb into a throwaway root and runs what it installs from there: the window program's
# libraries must all resolve, and rankmoth-cli (once the package carries it) reports the package's version
# and lists the demo shop of rankmoth-sim.
# Usage: scripts/check_package.sh [package.deb]   (default: the newest out/rankmoth_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls -t out/rankmoth_*.deb | head -n 1)}"
sim_bin="${RANKMOTH_SIM:-${RANKMOTH_PACKAGE_BUILD_DIR:-build-package}/tools/sim/rankmoth-sim}"
root="$(mktemp -d)"
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$root"' EXIT

dpkg-deb --field "$deb" Depends | grep -q libqt6 || { echo "check_package: no library dependencies in $deb"; exit 1; }
dpkg -x "$deb" "$root/pkg"
version="$(dpkg-deb --field "$deb" Version)"
missing="$(ldd "$root/pkg/usr/bin/rankmoth" | grep 'not found' || true)"
[ -z "$missing" ] || { echo "check_package: unresolved libraries:"; echo "$missing"; exit 1; }
echo "check_package: rankmoth $version: every library resolves"

cli="$root/pkg/usr/bin/rankmoth-cli"
if [ ! -x "$cli" ]; then
    echo "check_package: the package carries no rankmoth-cli yet; its checks are skipped"
    exit 0
fi
"$cli" --version | tee "$root/version"
grep -qF "$version" "$root/version" || { echo "check_package: --version does not say $version"; exit 1; }

"$sim_bin" --port=0 --port-file="$root/port" >"$root/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$root/port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$root/sim.log"; exit 1; }
    sleep 0.05
done
[ -s "$root/port" ] || { echo "check_package: rankmoth-sim did not start"; exit 1; }
sim="127.0.0.1:$(cat "$root/port")"
# A fresh user: the hosts come from [hosts] of the settings file, as an installed copy's would.
mkdir -p "$root/config/rankmoth"
printf '[hosts]\nmarket=%s\nshop_base=http://%s/\nversion_notice=\nstart_tab_notice=\n' "$sim" "$sim" \
    >"$root/config/rankmoth/config.ini"
(cd "$root" && XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_CACHE_HOME="$root/cache" \
    timeout 120 "$cli" items --shop demo) | tee "$root/items"
[ -s "$root/items" ] || { echo "check_package: rankmoth-cli items listed nothing"; exit 1; }
echo "check_package: ok"
