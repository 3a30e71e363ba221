#!/usr/bin/env bash
# Builds the Debian package into out/: a Release build without the tests, in which a newer version is
# announced with its download page rather than installed (the system's package manager updates the copy).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir="${RANKMOTH_PACKAGE_BUILD_DIR:-build-package}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRANKMOTH_GUI=ON -DRANKMOTH_TESTS=OFF \
    -DRANKMOTH_SELF_UPDATE=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j 2
mkdir -p out
cpack --config "$dir/CPackConfig.cmake" -G DEB -B "$(pwd)/out" >/dev/null
rm -rf out/_CPack_Packages
deb="$(ls -t out/rankmoth_*.deb | head -n 1)"
dpkg-deb --field "$deb" Package Version Section Depends
echo "package: $deb"
