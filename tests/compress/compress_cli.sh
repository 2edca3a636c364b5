#!/bin/bash
# sfxpack compress from the command line: round trip, exit codes, no output on bad input.
set -u
sfxpack="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for i in $(seq 1 400); do echo "line $i of a small text that repeats itself"; done > "$dir/in.txt"
size=$(stat -c %s "$dir/in.txt")
for stages in auto none p b r pb pr br pbr; do
    "$sfxpack" compress "$dir/in.txt" "$dir/s.$stages" --stages "$stages" || fail "compress $stages"
    "$sfxpack" decompress "$dir/s.$stages" "$dir/out" --size "$size" || fail "decompress $stages"
    cmp -s "$dir/in.txt" "$dir/out" || fail "round trip $stages"
done
[ "$(stat -c %s "$dir/s.auto")" -lt $((size / 10)) ] || fail "auto stream too large"
[ "$(stat -c %s "$dir/s.none")" -eq $((size + 1)) ] || fail "plain stream size"

expect_refused() {
    local out="$1"; shift
    "$sfxpack" compress "$@" 2>"$dir/err"
    [ $? -eq 2 ] || fail "exit code for: $*"
    [ "$(wc -l < "$dir/err")" -eq 1 ] || fail "one-line reason for: $*"
    [ ! -e "$out" ] || fail "output left for: $*"
    ls "$dir" | grep -q tmp && fail "temporary file left for: $*"
    return 0
}
expect_refused "$dir/x" "$dir/missing" "$dir/x"
expect_refused "$dir/x" "$dir/in.txt" "$dir/x" --stages pq
expect_refused "$dir/x" "$dir/in.txt" "$dir/x" --stages
expect_refused "$dir/x" "$dir/in.txt"
expect_refused "$dir/x" "$dir" "$dir/x"
echo ok
