#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with. Idempotent: the package lists are
# refreshed only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libcurl4-openssl-dev libopencc-dev libminizip-dev zlib1g-dev libcpp-httplib-dev
    qt6-base-dev qt6-multimedia-dev qt6-charts-dev libgl-dev
    libsqlite3-dev libsqlitecpp-dev sqlite3 libpqxx-dev postgresql-15 libcli11-dev nlohmann-json3-dev libvectorscan-dev libtomlplusplus-dev
    libsystemd-dev dbus-daemon
    desktop-file-utils appstream librsvg2-bin dpkg-dev file lintian man-db x11-utils systemd
    xvfb xauth imagemagick fonts-wqy-microhei curl zip unzip
    qt6-translations-l10n
    chromium python3-html5lib poppler-utils
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
