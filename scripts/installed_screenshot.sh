#!/usr/bin/env bash
# Photographs the installed program: started through its desktop entry's Exec line on a virtual display, in
# a fresh user whose [hosts] point at rankmoth-sim. Writes the main window alone to
# out/screenshots/installed.png (the metainfo's screenshot, packaging/screenshot-main.png, is a copy), and
# fails unless the window's class is the desktop entry's StartupWMClass and the desktop ID.
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
# The simulator the tree ships, else the one of a build.
sim_bin="${RANKMOTH_SIM:-$root/usr/lib/rankmoth/rankmoth-sim}"
[ -x "$sim_bin" ] || sim_bin="$build/tools/sim/rankmoth-sim"
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
set -u
cd "$work"
env -u RANKMOTH_MARKET_HOST -u RANKMOTH_SHOP_BASE -u RANKMOTH_VERSION_NOTICE_URL -u RANKMOTH_START_TAB_NOTICE_URL \\
    -u RANKMOTH_HISTORY PATH="$root/usr/bin:\$PATH" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \\
    XDG_CACHE_HOME="$work/cache" XDG_DATA_DIRS="$root/usr/share:/usr/share" $exec_line >"$work/app.log" 2>&1 &
app=\$!
# The main window: the top-level window titled "Rankmoth V..." once it is mapped (the update window comes
# first and closes when the start-up loading begins).
main_window() {
    local id
    for id in \$(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) "Rankmoth V.*/\1/p'); do
        xwininfo -id "\$id" | grep -q 'Map State: IsViewable' && { echo "\$id"; return; }
    done
}
window=""
for _ in \$(seq 300); do
    window="\$(main_window)"
    [ -n "\$window" ] && break
    kill -0 \$app 2>/dev/null || break
    sleep 0.1
done
[ -n "\$window" ] || { echo "installed_screenshot: the main window did not appear"; kill \$app; exit 1; }
xprop -id "\$window" WM_CLASS | sed -n 's/.*= "[^"]*", "\([^"]*\)"/\1/p' >"$work/class"
# The start-up loading (both notices, the sub-category list) ends with 加载完成 in the status bar.
sleep ${RANKMOTH_SHOT_DELAY:-4}
# The window alone, not the screen around it: the desktop has no window manager to frame or place it.
import -window "\$window" "$shot"
kill \$app
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh"
cat "$work/app.log"
ls -l "$shot"
wanted="$(sed -n 's/^StartupWMClass=//p' "$desktop")"
class="$(cat "$work/class")"
[ "$class" = "$wanted" ] || { echo "installed_screenshot: the window's class is \"$class\", the desktop entry expects \"$wanted\""; exit 1; }
[ "$wanted" = "$(basename "$desktop" .desktop)" ] ||
    { echo "installed_screenshot: StartupWMClass \"$wanted\" is not the desktop ID"; exit 1; }
echo "installed_screenshot: window class $class"
