#!/usr/bin/env bash
# Sets up, builds and runs every test (the GUI tests run headless on the offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
# The PostgreSQL cases fail rather than skip when the server cannot be started: setup installs it.
export RANKMOTH_REQUIRE_POSTGRES=1
ctest --test-dir "${RANKMOTH_BUILD_DIR:-build}" --output-on-failure -j 2 --timeout 300
