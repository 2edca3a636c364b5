#!/bin/bash
# Every test: installs what is missing, builds both builds, runs the host tests, the Windows
# tests under Wine (unit and end-to-end), each fuzzer briefly and the host tests under ASan+UBSan.
# Says which line ran the Windows programs: native 32-bit or qemu-i386 (SFX_WINE_LINE forces one).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
. scripts/env.sh
sfx_start_display
sfx_prepare_wine
line="$(sfx_wine_line_name)"

status=0
# Runs one suite and says how long it took.
suite() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@" || status=1
    echo "== $name: $((SECONDS - start)) s"
}
suite "host tests" ctest --test-dir build/host --output-on-failure --no-tests=error -j "$(nproc)"
suite "win32 tests (Wine, $line)" \
    ctest --test-dir build/win32 --output-on-failure --no-tests=error -j "$(nproc)"
suite "fuzzers (brief)" scripts/fuzz.sh 10
asan() {
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSFX_SANITIZE=ON \
        -DSFX_HOST_ONLY=OFF >/dev/null &&
        cmake --build build/asan -j "$(nproc)" &&
        ctest --test-dir build/asan --output-on-failure --no-tests=error -j "$(nproc)"
}
suite "host tests (ASan+UBSan)" asan
echo "Windows tests ran on the $line line; $([ $status -eq 0 ] && echo passed || echo FAILED)"
exit $status
