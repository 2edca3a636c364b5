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

# Makes the Wine prefix of this machine's line once, before tests start in parallel, and says
# which line runs the Windows programs. Fails, saying why, when Wine cannot run here.
sfx_prepare_wine() {
    local scripts log
    scripts="$(dirname "${BASH_SOURCE[0]}")"
    . "$scripts/wine-line.sh"
    sfx_wine_env || return 1
    echo "Windows programs run on the $(sfx_wine_line_name) line (prefix $WINEPREFIX)" >&2
    if ! sfx_prefix_fits; then
        echo "$WINEPREFIX is not a $WINEARCH prefix, which this line needs:" \
             "use another WINEPREFIX" >&2
        return 1
    fi
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    echo "Creating Wine prefix $WINEPREFIX ($WINEARCH)" >&2
    log=$(mktemp)
    "$scripts/wine-run" wineboot -i >"$log" 2>&1 || true
    # The registry files are written when the Wine server ends.
    timeout 300 wineserver -w || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Wine could not make its prefix; it said:" >&2
        tail -n 5 "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}
