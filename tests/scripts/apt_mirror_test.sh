#!/bin/bash
# deps.sh's apt steps against a throwaway apt configuration whose one source is a repository in
# mid-sync: its Release file promises an index of another size than the one it serves. The
# update goes on, says which index failed and why; an install that cannot be had then fails
# naming it. The machine's own sources and lists are not touched.
set -euo pipefail
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: apt-get update with a throwaway configuration needs root"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
repo="$work/repo"
mkdir -p "$repo/dists/bookworm/main/binary-amd64" "$work/lists/partial" "$work/cache/archives/partial"
index="$repo/dists/bookworm/main/binary-amd64/Packages"
printf 'Package: sfx-mirror-test\nVersion: 1\nArchitecture: amd64\nFilename: none.deb\nSize: 1\n\n' >"$index"
xz -k "$index"
size=$(stat -c %s "$index.xz")
{
    echo "Date: $(date -uR)"
    echo "Suite: bookworm"
    echo "Codename: bookworm"
    echo "Architectures: amd64"
    echo "Components: main"
    echo "SHA256:"
    # What the mirror will hold once in sync: another size, another hash.
    echo " $(printf x | sha256sum | cut -d' ' -f1) $((size + 7)) main/binary-amd64/Packages.xz"
    # apt takes an index only when its uncompressed form is listed too.
    echo " $(sha256sum <"$index" | cut -d' ' -f1) $(stat -c %s "$index") main/binary-amd64/Packages"
} >"$repo/dists/bookworm/Release"
echo "deb [trusted=yes arch=amd64] file:$repo bookworm main" >"$work/sources.list"

SUDO=""
SFX_APT_PAUSE=0
SFX_APT_OPTS="-o Dir::Etc::sourcelist=$work/sources.list -o Dir::Etc::sourceparts=/nonexistent
 -o Dir::State::Lists=$work/lists -o Dir::Cache=$work/cache -o APT::Architectures::=amd64"
. "$scripts/apt.sh"

fail() { echo "FAIL: $*"; exit 1; }
sfx_apt_update 2>"$work/update.err" || fail "the update stopped: $(cat "$work/update.err")"
grep -q "binary-amd64/Packages.xz" "$work/update.err" || fail "the failed index is not named"
grep -q "mid-sync" "$work/update.err" || fail "no word of a mirror in mid-sync"
[ "$(sfx_apt_failed_suites)" = bookworm ] || fail "failed suites: $(sfx_apt_failed_suites)"

status=0
sfx_apt_install -s sfx-mirror-test >"$work/install.out" 2>&1 || status=$?
[ $status -ne 0 ] || fail "an install that cannot be had succeeded"
grep -q "binary-amd64/Packages.xz" "$work/install.out" || fail "the install's failure names no index"
grep -q "run scripts/deps.sh again" "$work/install.out" || fail "the install's failure says not what to do"
echo "1 passed, 0 failed"
