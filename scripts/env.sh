# Sourced by the scripts: an X display for Wine's windows and a ready Wine prefix.

# Starts Xvfb on a free display unless DISPLAY already works; the server ends with the shell.
sfx_start_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        SFX_XVFB_PID=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && break
            sleep 0.1
        done
        trap 'kill $SFX_XVFB_PID 2>/dev/null || true' EXIT
        return 0
    done
    echo "no free X display" >&2
    return 1
}

# Makes the 32-bit Wine prefix once, before tests start in parallel.
sfx_prepare_wine() {
    export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-sfx}"
    export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating Wine prefix $WINEPREFIX" >&2
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
}
