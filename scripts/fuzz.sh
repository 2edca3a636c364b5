#!/bin/bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in
# build/fuzz and runs each in turn for the given number of seconds (default 15), starting from
# the checked-in seeds in fuzz/corpus/<target>. New inputs go to build/fuzz/corpus/<target>;
# a finding stops the script and is saved under build/fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
build="${FUZZ_BUILD:-build/fuzz}"
jobs="${JOBS:-2}"
targets=(fuzz_decompress fuzz_archive fuzz_stamp fuzz_roundtrip fuzz_pe fuzz_branding fuzz_survey
         fuzz_filename fuzz_infotext fuzz_sfxpack)

cmake -S . -B "$build" -G Ninja -DSFX_FUZZ=ON -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    findings="$build/findings/$target"
    log="$build/$target.log"
    mkdir -p "$work" "$findings"
    status=0
    "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=16384 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${runs:-?} runs in ${seconds}s" >&2
    if [ "$status" -ne 0 ]; then
        grep -E 'ERROR|check failed|SUMMARY|Test unit written' "$log" >&2 || tail -20 "$log" >&2
        echo "$target: finding saved in $findings (log: $log)" >&2
        exit 1
    fi
done
