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
# Debian's hardening flags, as a package built by dpkg-buildpackage gets them (fortified functions, a
# read-only GOT bound at start), given as cache values so that an existing build folder takes them too; the
# optimisation and debug flags are left to the build type.
hardening() {
    local flag kept=()
    for flag in $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"); do
        [ "$flag" = -g ] || [ "$flag" = -O2 ] || kept+=("$flag")
    done
    echo "${kept[*]}"
}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRANKMOTH_GUI=ON -DRANKMOTH_TESTS=OFF \
    -DRANKMOTH_SELF_UPDATE=OFF "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$(hardening CFLAGS) $(hardening CPPFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(hardening CXXFLAGS) $(hardening CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(hardening LDFLAGS)" >/dev/null
cmake --build "$dir" -j 2
mkdir -p out
cpack --config "$dir/CPackConfig.cmake" -G DEB -B "$(pwd)/out" >/dev/null
rm -rf out/_CPack_Packages
deb="$(ls -t out/rankmoth_*.deb | head -n 1)"
dpkg-deb --field "$deb" Package Version Section Depends
echo "package: $deb"
