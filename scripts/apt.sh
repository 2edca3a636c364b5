# Sourced by deps.sh and its test: apt-get that rides out a Debian mirror in mid-sync, where one
# index does not match its Release file for a while ("File has unexpected size ... Mirror sync in
# progress?"). SFX_APT_OPTS: more apt-get options (the test points apt at a throwaway
# configuration); SFX_APT_PAUSE: seconds between the two updates (30); SUDO: the prefix, if any.

# The indexes the last update could not fetch, one URL a line.
SFX_APT_FAILED=""

# Runs apt-get with the common options: retries, no questions.
sfx_apt() {
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive ${SUDO:-} apt-get -q -o Acquire::Retries=3 ${SFX_APT_OPTS:-} "$@"
}

# apt-get update, twice a pause apart when an index fails. Returns 0 when only indexes failed
# (what apt has may still be enough; the install decides), 1 when apt itself could not run.
sfx_apt_update() {
    local log attempt status
    log=$(mktemp)
    for attempt in 1 2; do
        status=0
        sfx_apt update >"$log" 2>&1 || status=$?
        SFX_APT_FAILED=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sort -u)
        if [ -z "$SFX_APT_FAILED" ]; then
            [ $status -eq 0 ] || cat "$log" >&2
            rm -f "$log"
            return $status
        fi
        if [ $attempt -eq 1 ]; then
            echo "apt-get update could not fetch an index; trying again in ${SFX_APT_PAUSE:-30} s" >&2
            sleep "${SFX_APT_PAUSE:-30}"
        fi
    done
    echo "apt-get update could not fetch these indexes, twice:" >&2
    sed 's/^/  /' <<<"$SFX_APT_FAILED" >&2
    grep -qE "Mirror sync in progress|File has unexpected size|Hash Sum mismatch" "$log" &&
        echo "The mirror may be in mid-sync (its index does not match its Release file yet)." >&2
    echo "Going on with the indexes apt has: the install fails only if a package cannot be had." >&2
    rm -f "$log"
}

# The suites (the part after dists/) of the indexes that failed, one a line.
sfx_apt_failed_suites() {
    sed -n 's#.*/dists/\([^/]*\)/.*#\1#p' <<<"$SFX_APT_FAILED" | sort -u
}

# apt-get install [options] packages..., nothing when no package is given. When a suite's index
# failed for one architecture, its packages can be newer for the other one, and multi-arch
# packages must match: a second try prefers the other suites for this install.
sfx_apt_install() {
    local pin suite status=0
    sfx_apt install -y "$@" || status=$?
    [ $status -ne 0 ] || return 0
    if [ -n "$SFX_APT_FAILED" ]; then
        pin=$(mktemp)
        for suite in $(sfx_apt_failed_suites); do
            printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$suite" >>"$pin"
        done
        echo "Trying the install again, preferring the suites whose indexes were fetched" >&2
        status=0
        sfx_apt -o Dir::Etc::Preferences="$pin" install -y "$@" || status=$?
        rm -f "$pin"
        [ $status -ne 0 ] || return 0
        echo "The install failed, and apt-get update could not fetch:" >&2
        sed 's/^/  /' <<<"$SFX_APT_FAILED" >&2
        echo "The mirror may be in mid-sync: run scripts/deps.sh again in a while." >&2
    fi
    return $status
}
