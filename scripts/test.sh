#!/usr/bin/env bash
# Sets up, builds and runs every test (the GUI tests run headless on the offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${RANKMOTH_BUILD_DIR:-build}" --output-on-failure -j 2 --timeout 300
