#!/bin/bash
# Every test: installs what is missing, builds both builds, runs the host tests, the Windows
# tests under Wine (unit and end-to-end), and each fuzzer briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
. scripts/env.sh
sfx_start_display
sfx_prepare_wine

status=0
echo "== host tests"
ctest --test-dir build/host --output-on-failure -j "$(nproc)" || status=1
echo "== win32 tests (Wine)"
ctest --test-dir build/win32 --output-on-failure -j "$(nproc)" || status=1
if [ -x scripts/fuzz.sh ]; then
    echo "== fuzzers (brief)"
    scripts/fuzz.sh 15 || status=1
fi
echo "== host tests (ASan+UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSFX_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$(nproc)"
ctest --test-dir build/asan --output-on-failure -j "$(nproc)" || status=1
exit $status
