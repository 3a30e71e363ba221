#!/usr/bin/env bash
# Configures and builds into build/ (or $RANKMOTH_BUILD_DIR) with two jobs: everything, or only the targets
# named in $RANKMOTH_TARGETS.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${RANKMOTH_BUILD_DIR:-build}"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRANKMOTH_WERROR="$werror" "$@" >/dev/null
cmake --build "$dir" -j 2 ${RANKMOTH_TARGETS:+--target $RANKMOTH_TARGETS}
