# Sourced by the scripts: an X display for Wine's windows and a ready Wine prefix.

# Starts Xvfb on a free display unless DISPLAY already works; the server ends with the shell.
sfx_start_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local ready deadline=$((SECONDS + 60))
    ready=$(mktemp)
    # Xvfb picks a free display itself and writes its number once it takes connections.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    SFX_XVFB_PID=$!
    trap 'kill $SFX_XVFB_PID 2>/dev/null || true' EXIT
    until grep -q . "$ready"; do
        if ! kill -0 "$SFX_XVFB_PID" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
            echo "Xvfb did not start" >&2
            rm -f "$ready"
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$ready")"
    rm -f "$ready"
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
