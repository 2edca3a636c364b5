#!/bin/bash
# Configures and builds both builds: build/host (Linux) and build/win32 (MinGW-w64).
# BUILD_ROOT picks another folder (helpers working side by side use their own).
set -euo pipefail
cd "$(dirname "$0")/.."
root="${BUILD_ROOT:-build}"
jobs="${JOBS:-$(nproc)}"

# Both builds: the host tests that need the win32 stub never skip here.
cmake -S . -B "$root/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSFX_HOST_ONLY=OFF >/dev/null
cmake --build "$root/host" -j "$jobs"
cmake -S . -B "$root/win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
cmake --build "$root/win32" -j "$jobs"
