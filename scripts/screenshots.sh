#!/usr/bin/env bash
# Renders both windows to PNG files in out/screenshots/ (main.png, main-pass-done.png, main-pass-failed.png,
# main-pass-failed-tip.png, main-help.png, main-history*.png, history-window.png, export-dialog.png, update.png,
# update-download.png, and the shared report: report.png, report-print.png), on a virtual X display so that
# fonts and style are those of a real desktop. The history page shows the demo shop over a few passes seeded
# into a database of its own, removed afterwards; its shop comparison is shot before and after a watch of the
# demo shop and two others is seeded. The program
# runs in a Chinese locale, as its sellers' desktops are, so that Qt's own dialogs speak as they would there.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${RANKMOTH_BUILD_DIR:-build}"
scripts/setup.sh
cmake -S . -B "$dir" -G Ninja -DRANKMOTH_GUI=ON >/dev/null
cmake --build "$dir" -j 2 --target rankmoth-shots
mkdir -p out/screenshots
out="$(pwd)/out/screenshots"
export LANG=zh_CN.UTF-8 LANGUAGE=zh_CN
if [ -n "${DISPLAY:-}" ]; then
    "$dir/app/qt/rankmoth-shots" "$out"
else
    xvfb-run -a -s "-screen 0 1024x768x24" "$dir/app/qt/rankmoth-shots" "$out"
fi
# The shared report of a seeded demo history, as headless Chromium renders and prints it.
cmake --build "$dir" -j 2 --target rankmoth-cli rankmoth-sim
scripts/check_report.sh "$dir" "$out"
rm -f "$out/shots-config.ini" "$out/rankmoth-skin.qss" "$out"/shots-history.sqlite*
ls -l "$out"/*.png
