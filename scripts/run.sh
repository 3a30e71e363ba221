#!/usr/bin/env bash
# Sets up, builds and runs the program's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ ! -x build/app/qt/rankmoth ]; then
    echo "run: the windows are not built yet; the core libraries and their tests are (scripts/test.sh)."
    exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    echo "run: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)."
    echo "     Run it from a desktop session, or on a virtual display: xvfb-run -a scripts/run.sh"
    exit 1
fi

# The local demo marketplace (shop "demo") and notice pages: rankmoth-sim on a free loopback port, stopped
# when the program ends. Hosts already set in the environment are kept.
sim_dir="$(mktemp -d)"
build/tools/sim/rankmoth-sim --port=0 --port-file="$sim_dir/port" >"$sim_dir/sim.log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -rf "$sim_dir"' EXIT
for _ in $(seq 100); do
    [ -s "$sim_dir/port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$sim_dir/sim.log"; exit 1; }
    sleep 0.05
done
[ -s "$sim_dir/port" ] || { echo "run: rankmoth-sim did not start"; cat "$sim_dir/sim.log"; exit 1; }
sim="127.0.0.1:$(cat "$sim_dir/port")"
export RANKMOTH_MARKET_HOST="${RANKMOTH_MARKET_HOST:-$sim}"
export RANKMOTH_SHOP_BASE="${RANKMOTH_SHOP_BASE:-http://$sim/}"
export RANKMOTH_VERSION_NOTICE_URL="${RANKMOTH_VERSION_NOTICE_URL:-http://$sim/w2/blogDetail.do?hostID=pellwood&blogId=1330001}"
export RANKMOTH_START_TAB_NOTICE_URL="${RANKMOTH_START_TAB_NOTICE_URL:-http://$sim/w2/blogDetail.do?hostID=pellwood&blogId=1330002}"
echo "run: demo marketplace at http://$sim/ (type the shop ID \"demo\")"
build/app/qt/rankmoth
