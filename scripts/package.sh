#!/bin/bash
# Builds the Debian package of sfxpack and the installer stub into build/package/ (BUILD_ROOT
# picks another root). Install it with: apt install ./build/package/loftsfx_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
root="${BUILD_ROOT:-build}"
scripts/deps.sh
BUILD_ROOT="$root" scripts/build.sh
rm -rf "$root/package"
cpack --config "$root/host/CPackConfig.cmake" -B "$root/package" >/dev/null
rm -rf "$root/package/_CPack_Packages"
ls "$root/package"/*.deb
