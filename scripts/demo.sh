#!/bin/bash
# The demo: builds everything, packs the demo product (examples/demo) into build/demo/setup.exe
# with sfxpack, runs it under Wine with "auto=1" (no manual step) and shows what happened: the
# files unpacked, the programs started and their exit codes.
set -euo pipefail
cd "$(dirname "$0")/.."
root="${BUILD_ROOT:-build}"
demo="$root/demo"

scripts/deps.sh
BUILD_ROOT="$root" scripts/build.sh
. scripts/env.sh
sfx_start_display
sfx_prepare_wine

winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

echo "== Making $demo/setup.exe"
rm -rf "$demo"
mkdir -p "$demo/payload" "$demo/Temp"
cp examples/demo/payload/* "$demo/payload/"
cp "$root/win32/bin/AutoInst_Verif.exe" "$root/win32/bin/install.exe" "$demo/payload/"
"$root/host/bin/sfxpack" exe "$demo/payload" -o "$demo/setup.exe" --stub "$root/win32/bin/stub.exe"
"$root/host/bin/sfxpack" list "$demo/setup.exe"

echo "== Running setup.exe auto=1 under Wine, $(sfx_wine_line_name) line (TEMP=$demo/Temp)"
# The launcher sets TEMP and TMP, passes the command line exactly, reports the installer's
# exit code and waits for every program it started.
printf '%s\r\n%s\r\n%s\r\n%s\r\n' "$(winpath "$demo/Temp")" "$(winpath "$demo/probe.log")" \
    "$(winpath "$demo/setup.exe")" "auto=1 dest=$(winpath "$demo/installed")" > "$demo/job.txt"
report=$(scripts/wine-run "$root/win32/bin/e2e_launch.exe" "$(winpath "$demo/job.txt")" | tr -d '\r')

show() { iconv -f WINDOWS-1252 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'; }
echo "Install descriptor demo.kvr (Windows-1252):"
show "$demo/payload/demo.kvr"
echo "Files unpacked in $demo/Temp/tmp_qor:"
ls -l --time-style=+%Y-%m-%d\ %H:%M "$demo/Temp/tmp_qor" | tail -n +2 | sed 's/^/    /'
echo "Pre-install check AutoInst_Verif.exe (verif.log):"
show "$demo/Temp/tmp_qor/verif.log"
if [ -f "$demo/installed/install.log" ]; then
    echo "install.exe started (install.log in $demo/installed):"
    show "$demo/installed/install.log"
else
    echo "install.exe was not started"
fi
echo "setup.exe exit code: $(echo "$report" | sed -n 's/^exit=//p')"
echo "programs still running afterwards: $(echo "$report" | sed -n 's/^remaining=//p')"
# Let Wine's own processes end before the display goes.
timeout 20 wineserver -w || true
