#!/usr/bin/env bash
# The shared report as a recipient sees it: a history seeded from the local demo marketplace over two of
# its days (a query of every sort and a run of the example watch each day), its report rendered by headless Chromium from a file:// address
# with the network off, and checked: it parses as HTML5, the page asks for nothing, it renders and prints on
# A4 with nothing cut at the right edge. Usage: scripts/check_report.sh BUILD_DIR [SCREENSHOT_DIR]
# Without Chromium or html5lib it says so and exits 77 (a skip to CTest), unless CI is set.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:?usage: check_report.sh BUILD_DIR [SCREENSHOT_DIR]}" && pwd)"
shots="${2:-}"
py=/usr/bin/python3
if ! command -v chromium >/dev/null || ! "$py" -c 'import html5lib' 2>/dev/null || ! command -v pdftotext >/dev/null; then
    echo "check_report: chromium, python3-html5lib or poppler-utils is missing (scripts/setup.sh installs them)"
    [ -n "${CI:-}" ] && exit 1
    exit 77
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp tools/sim/example-watch.toml "$work/watch.toml"

# Everything below runs without a network: the marketplace is on loopback, and Chromium's own update and
# time checks fail at once instead of leaving the machine.
cat >"$work/inside.sh" <<'INSIDE'
set -euo pipefail
build="$1" work="$2"
ip link set lo up
cd "$work"
cli="$build/cli/rankmoth-cli"
export RANKMOTH_HISTORY="$work/history.sqlite" HOME="$work" XDG_CONFIG_HOME="$work/config"
sim=""
trap '[ -z "$sim" ] || kill $sim 2>/dev/null || true' EXIT
# A day of the demo, then the next, when some items have moved and the rival has gained: on the first a
# query of every sort, and a run of the watch each day.
for day in 1 2; do
    [ -z "$sim" ] || { kill $sim; wait $sim 2>/dev/null || true; }
    rm -f "$work/port"
    "$build/tools/sim/rankmoth-sim" --port=0 --port-file="$work/port" --demo-day=$day >>"$work/sim.log" 2>&1 &
    sim=$!
    for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
    port="$(cat "$work/port")"
    export RANKMOTH_MARKET_HOST="127.0.0.1:$port" RANKMOTH_SHOP_BASE="http://127.0.0.1:$port/"
    if [ $day = 1 ]; then
        "$cli" query --shop demo --pages 2 --delay 0 --sort all >/dev/null
        sleep 1.1 # the history keeps times to the second: each pass its own moment
    fi
    "$cli" track --watch "$work/watch.toml" >/dev/null
    sleep 1.1
done
"$cli" report --shop demo --output "$work/report.html"

chrome=(chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" --no-first-run
        --disable-background-networking --disable-component-update --disable-sync --disable-extensions
        --disable-default-apps --hide-scrollbars --force-device-scale-factor=1)
# A control page that does fetch, so that a log which sees nothing is known to be able to see something.
printf '<!DOCTYPE html><title>probe</title><img src="http://127.0.0.1:%s/probe.png">' "$port" >"$work/probe.html"
"${chrome[@]}" --log-net-log="$work/probe-net.json" --screenshot="$work/probe.png" "file://$work/probe.html" 2>/dev/null
"${chrome[@]}" --log-net-log="$work/net.json" --window-size=719,2600 --screenshot="$work/report.png" \
    "file://$work/report.html" 2>/dev/null
"${chrome[@]}" --no-pdf-header-footer --print-to-pdf="$work/report.pdf" "file://$work/report.html" 2>/dev/null
INSIDE
isolate=(unshare -n)
[ "$(id -u)" -eq 0 ] || isolate=(unshare -rn)
if ! "${isolate[@]}" true 2>/dev/null; then
    # Chromium is never run with a network: without a namespace of its own there is no check.
    echo "check_report: this machine allows no network namespace (${isolate[*]}), so Chromium is not run"
    exit 77
fi
"${isolate[@]}" bash "$work/inside.sh" "$build" "$work"

"$py" - "$work" <<'PY'
import json, sys, html5lib
work = sys.argv[1]

def page_requests(log):
    # Requests the page made carry the page's site in their isolation key; the browser's own carry "null".
    data = json.load(open(log))
    start = data["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
    return sorted({e["params"]["url"] for e in data["events"]
                   if e["type"] == start and "file://" in e.get("params", {}).get("network_isolation_key", "")})

probe = page_requests(f"{work}/probe-net.json")
if not any(u.endswith("/probe.png") for u in probe):
    sys.exit(f"check_report: the control page's request was not seen in the net log ({probe})")
made = page_requests(f"{work}/net.json")
if made:
    sys.exit(f"check_report: the report made requests: {made}")
text = open(f"{work}/report.html", "rb").read()
try:
    html5lib.HTMLParser(strict=True).parse(text)
except Exception as error:
    sys.exit(f"check_report: the report is not well-formed HTML5: {error}")
print(f"check_report: {len(text)} bytes, HTML5 without a parse error, no request (the control's was seen)")
PY

# Rendered: many colours, not a blank page; nothing drawn in the margin right of an A4-wide body (186 mm is 703 px).
colours=$(convert "$work/report.png" -format '%k' info:)
edge=$(convert "$work/report.png" -gravity East -crop 3x0+0+0 +repage -colorspace Gray -format '%[fx:minima]' info:)
pages=$(pdfinfo "$work/report.pdf" | awk '/^Pages:/ {print $2}')
size=$(pdfinfo "$work/report.pdf" | awk '/^Page size:/ {print $3 "x" $5}')
pdftotext "$work/report.pdf" "$work/report.txt"
[ "$colours" -gt 8 ] || { echo "check_report: the screenshot has $colours colours: nothing rendered"; exit 1; }
[ "$edge" = "1" ] || { echo "check_report: something reaches the right edge of an A4-wide page ($edge)"; exit 1; }
grep -q "各排序对照" "$work/report.txt" && grep -q "店铺可见度占比" "$work/report.txt" || {
    echo "check_report: the printed report lacks its last sections"; exit 1; }
case "$size" in 594.96x841.92 | 595x842 | 595.2x841.8) ;; *) echo "check_report: pages are $size pt, not A4"; exit 1 ;; esac
echo "check_report: rendered ($colours colours), printed on $pages A4 pages, nothing cut at the edge"
if [ -n "$shots" ]; then
    mkdir -p "$shots"
    cp "$work/report.png" "$shots/report.png"
    pdftoppm -r 70 -png -f 1 -l 1 -singlefile "$work/report.pdf" "$shots/report-print"
    ls -l "$shots"/report*.png
fi
