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
exec build/app/qt/rankmoth
