#!/bin/bash
# Installs what the builds and tests need on Debian 12, only when something is missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
      googletest libgtest-dev zlib1g-dev xz-utils gzip wine wine32:i386 xvfb xdotool
      x11-utils imagemagick icoutils python3 python3-pefile osslsigncode openssl dpkg-dev)
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done
if [ ${#need[@]} -eq 0 ]; then exit 0; fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${need[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q "${need[@]}"
