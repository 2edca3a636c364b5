#!/bin/bash
# Installs what the builds and tests need on Debian 12, only when something is missing, and sets
# up the line Wine runs on here (see wine-line.sh). Where the kernel runs no 32-bit program, that
# is Wine's 64-bit half plus qemu-user from bookworm-backports (Debian 12's own qemu 7.2 cannot
# run Wine); the backports source is pinned so that nothing else comes from it.
set -euo pipefail

cd "$(dirname "$0")/.."
. scripts/wine-line.sh
. scripts/apt.sh

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
updated=""
# apt_install [apt-get options] packages...: nothing when no package is given.
apt_install() {
    local options=()
    while [[ "${1:-}" == -* ]]; do options+=("$1"); shift; done
    [ $# -eq 0 ] && return 0
    echo "Installing: $*" >&2
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
        updated=""
    fi
    [ -n "$updated" ] || sfx_apt_update
    updated=1
    sfx_apt_install "${options[@]}" "$@"
}

need=()
for p in cmake ninja-build g++ clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-i686-posix \
    binutils-mingw-w64-i686 googletest libgtest-dev zlib1g-dev xz-utils gzip wine wine32:i386 xvfb \
    xdotool x11-utils imagemagick icoutils python3 python3-pefile osslsigncode openssl dpkg-dev \
    lintian locales; do
    have "$p" || need+=("$p")
done
apt_install "${need[@]}"

line=$(sfx_wine_line)
[ "$line" = native ] && exit 0

# The qemu-i386 line.
backports=/etc/apt/sources.list.d/bookworm-backports.sources
pin=/etc/apt/preferences.d/sfx-bookworm-backports
if [ ! -f "$pin" ]; then
    printf '%s\n' "Package: *" "Pin: release n=bookworm-backports" "Pin-Priority: -1" "" \
        "Package: qemu-user" "Pin: release n=bookworm-backports" "Pin-Priority: 500" |
        $SUDO tee "$pin" >/dev/null
    updated=""
fi
if ! grep -rqsE "^[^#]*bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf '%s\n' "Types: deb" "URIs: http://deb.debian.org/debian" "Suites: bookworm-backports" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
        $SUDO tee "$backports" >/dev/null
    updated=""
fi
need=()
have wine64 || need+=(wine64)
have qemu-user && dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user)" ge 1:10 ||
    need+=(qemu-user)
# No recommends: qemu-user-binfmt would register every qemu target machine-wide.
apt_install --no-install-recommends "${need[@]}"

if sfx_private_binfmt; then
    echo "Windows programs: qemu-i386 line; qemu-i386 is registered for each Wine run in a" \
         "binfmt_misc of its own, nothing changes for other programs" >&2
elif sfx_runs_32bit; then
    echo "SFX_WINE_LINE=qemu on a machine that runs 32-bit programs needs a private" \
         "binfmt_misc (Linux 6.7 or later); this kernel has none" >&2
    exit 1
else
    # This kernel has no private binfmt_misc: register machine-wide. Only i386 programs, which
    # could not run here at all, are affected.
    if [ ! -e "$SFX_BINFMT/$SFX_RULE_NAME" ]; then
        $SUDO sh -c ". scripts/wine-line.sh && sfx_register_machine"
    fi
    echo "Windows programs: qemu-i386 line; qemu-i386 is registered MACHINE-WIDE for i386" \
         "programs ($SFX_BINFMT/$SFX_RULE_NAME, until reboot; remove it with" \
         "'echo -1 > $SFX_BINFMT/$SFX_RULE_NAME')" >&2
fi
