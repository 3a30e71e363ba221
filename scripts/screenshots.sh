#!/usr/bin/env bash
# Renders both windows to PNG files in out/screenshots/ (main.png, main-help.png, main-history*.png, update.png,
# update-download.png), on a virtual X display so that fonts and style are those of a real desktop. The history
# page shows the demo shop over a few passes seeded into a database of its own, removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${RANKMOTH_BUILD_DIR:-build}"
scripts/setup.sh
cmake -S . -B "$dir" -G Ninja -DRANKMOTH_GUI=ON >/dev/null
cmake --build "$dir" -j 2 --target rankmoth-shots
mkdir -p out/screenshots
out="$(pwd)/out/screenshots"
if [ -n "${DISPLAY:-}" ]; then
    "$dir/app/qt/rankmoth-shots" "$out"
else
    xvfb-run -a -s "-screen 0 1024x768x24" "$dir/app/qt/rankmoth-shots" "$out"
fi
rm -f "$out/shots-config.ini" "$out/rankmoth-skin.qss" "$out"/shots-history.sqlite*
ls -l "$out"/*.png
