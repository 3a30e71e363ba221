#!/usr/bin/env bash
# Photographs the installed program: started through its desktop entry's Exec line on a virtual display, in
# a fresh user whose [hosts] point at rankmoth-sim. Writes out/screenshots/installed.png.
# Usage: scripts/installed_screenshot.sh [root]   root: an unpacked package or install tree holding usr/
#        (default: build/ installed into a throwaway root)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${RANKMOTH_BUILD_DIR:-build}"
work="$(mktemp -d)"
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
root="${1:-}"
if [ -z "$root" ]; then
    root="$work/root"
    DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
fi
sim_bin="${RANKMOTH_SIM:-$build/tools/sim/rankmoth-sim}"
[ -x "$sim_bin" ] || sim_bin="build-package/tools/sim/rankmoth-sim"

"$sim_bin" --port=0 --port-file="$work/port" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    sleep 0.05
done
[ -s "$work/port" ] || { echo "installed_screenshot: rankmoth-sim did not start"; cat "$work/sim.log"; exit 1; }
sim="127.0.0.1:$(cat "$work/port")"
mkdir -p "$work/config/rankmoth"
cat >"$work/config/rankmoth/config.ini" <<INI
[hosts]
market = $sim
shop_base = http://$sim/
version_notice = http://$sim/w2/blogDetail.do?hostID=pellwood&blogId=1330001
start_tab_notice = http://$sim/w2/blogDetail.do?hostID=pellwood&blogId=1330002

[canshu]
youdianid=demo
INI

desktop="$root/usr/share/applications/io.github.rankmoth.Rankmoth.desktop"
exec_line="$(sed -n 's/^Exec=//p' "$desktop" | head -n 1 | sed 's/ *%[fFuUik]//g')"
echo "installed_screenshot: Exec=$exec_line"
mkdir -p out/screenshots
shot="$(pwd)/out/screenshots/installed.png"
cat >"$work/session.sh" <<SESSION
#!/usr/bin/env bash
cd "$work"
env -u RANKMOTH_MARKET_HOST -u RANKMOTH_SHOP_BASE -u RANKMOTH_VERSION_NOTICE_URL -u RANKMOTH_START_TAB_NOTICE_URL \\
    PATH="$root/usr/bin:\$PATH" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \\
    XDG_CACHE_HOME="$work/cache" XDG_DATA_DIRS="$root/usr/share:/usr/share" $exec_line >"$work/app.log" 2>&1 &
app=\$!
# Up once the skin is written; the start-up loading (both notices, the sub-category list) takes a few seconds.
for _ in \$(seq 200); do [ -s "$work/data/rankmoth/rankmoth-skin.qss" ] && break; sleep 0.1; done
sleep ${RANKMOTH_SHOT_DELAY:-12}
import -window root "$shot"
kill \$app
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh"
cat "$work/app.log"
ls -l "$shot"
