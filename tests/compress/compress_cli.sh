#!/bin/bash
# sfxpack compress (and pack) from the command line: round trip at every kind of level option,
# exit codes, no output on bad input, archives the same for any number of threads.
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
for level in -1 -5 "--level 9" "--level=2"; do
    # shellcheck disable=SC2086  # the option and its value are two words
    "$sfxpack" compress "$dir/in.txt" "$dir/s.level" $level || fail "compress $level"
    "$sfxpack" decompress "$dir/s.level" "$dir/out" --size "$size" || fail "decompress $level"
    cmp -s "$dir/in.txt" "$dir/out" || fail "round trip $level"
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
truncate -s $((256 * 1024 * 1024 + 1)) "$dir/big" # one byte over what an entry may hold
expect_refused "$dir/x" "$dir/big" "$dir/x"
grep -q "larger than an installer can hold" "$dir/err" || fail "reason for a file over the cap"
rm "$dir/big"
for level in "--level 0" "--level 10" "--level x" "--level=" -0 -10; do
    # shellcheck disable=SC2086
    expect_refused "$dir/x" "$dir/in.txt" "$dir/x" $level
done

# pack at a level: the archive is the same for any number of threads.
mkdir "$dir/folder"
cp "$dir/in.txt" "$dir/folder/a.txt"
head -c 70000 /dev/urandom > "$dir/folder/b.bin"
cat "$dir/in.txt" "$dir/folder/b.bin" "$dir/in.txt" > "$dir/folder/c.bin"
for level in 1 9; do
    for jobs in 1 2 3; do
        "$sfxpack" pack "$dir/folder" -o "$dir/p$level.$jobs" -$level --jobs $jobs ||
            fail "pack -$level --jobs $jobs"
    done
    cmp -s "$dir/p$level.1" "$dir/p$level.2" && cmp -s "$dir/p$level.1" "$dir/p$level.3" ||
        fail "pack -$level differs with --jobs"
    "$sfxpack" verify "$dir/p$level.1" > /dev/null || fail "verify pack -$level"
done
"$sfxpack" pack "$dir/folder" -o "$dir/p0" --level 0 2> "$dir/err"
[ $? -eq 2 ] && [ ! -e "$dir/p0" ] || fail "pack --level 0 accepted"
echo ok
