# Sourced (POSIX sh): the line on which Debian's 32-bit Wine loader runs here.
#   native  the kernel runs 32-bit programs; a 32-bit Wine prefix, as on the machines we ship to.
#   qemu    it runs none: qemu-i386 (10 or later) runs them, registered in binfmt_misc, and the
#           prefix is 64-bit so that wineserver and Wine's own services run natively; only our
#           32-bit programs go through qemu.
# SFX_WINE_LINE=native|qemu forces a line (qemu on a machine that runs 32-bit programs needs a
# private binfmt_misc, Linux 6.7 or later); unset or auto finds it out.

SFX_QEMU=/usr/bin/qemu-i386
SFX_BINFMT=/proc/sys/fs/binfmt_misc
SFX_RULE_NAME=sfx-qemu-i386
# qemu's own magic and mask for i386 ELF executables (binfmt_misc decodes the \x escapes itself).
# F opens the interpreter at registration, so it is found from any mount namespace.
SFX_I386_MAGIC='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
SFX_I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
SFX_RULE=":$SFX_RULE_NAME:M::$SFX_I386_MAGIC:$SFX_I386_MASK:$SFX_QEMU:F"

# True when a machine-wide binfmt_misc rule already sends i386 programs to an emulator.
sfx_machine_rule() {
    for entry in "$SFX_BINFMT"/*; do
        [ -r "$entry" ] && [ "${entry##*/}" != status ] || continue
        grep -qx enabled "$entry" 2>/dev/null &&
            grep -qx "magic 7f454c4601010100000000000000000002000300" "$entry" && return 0
    done
    return 1
}

# True when the kernel runs the 32-bit Wine loader itself.
sfx_runs_32bit() {
    ! sfx_machine_rule && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Prints native or qemu.
sfx_wine_line() {
    case "${SFX_WINE_LINE:-auto}" in
    native | qemu) echo "$SFX_WINE_LINE" ;;
    auto) if sfx_runs_32bit; then echo native; else echo qemu; fi ;;
    *)
        echo "SFX_WINE_LINE is native, qemu or auto, not '$SFX_WINE_LINE'" >&2
        return 1
        ;;
    esac
}

# True when this kernel gives a user namespace a binfmt_misc instance of its own.
sfx_private_binfmt() {
    unshare --user --map-root-user --mount \
        sh -c "mount -t binfmt_misc binfmt_misc $SFX_BINFMT" >/dev/null 2>&1
}

# Runs a command with qemu-i386 registered in a private binfmt_misc instance: the rule is seen by
# the command and what it starts, nothing else on the machine. The command runs under the caller's
# own user and group ids again (Wine keys its server's socket on the user id).
sfx_exec_private() {
    exec unshare --user --map-root-user --mount sh -c '
        if ! mount -t binfmt_misc binfmt_misc "$1" || ! printf "%s" "$2" >"$1/register"; then
            echo "wine-run: cannot register qemu-i386 in a private binfmt_misc" >&2
            exit 1
        fi
        uid=$3 gid=$4
        shift 4
        exec unshare --user --map-user="$uid" --map-group="$gid" "$@"' \
        sfx-binfmt "$SFX_BINFMT" "$SFX_RULE" "$(id -u)" "$(id -g)" "$@"
}

# Registers qemu-i386 machine-wide (as root) unless it is there already.
sfx_register_machine() {
    [ -e "$SFX_BINFMT/register" ] || mount -t binfmt_misc binfmt_misc "$SFX_BINFMT"
    [ -e "$SFX_BINFMT/$SFX_RULE_NAME" ] || printf '%s' "$SFX_RULE" >"$SFX_BINFMT/register"
}

# The Wine settings of the line: a prefix of the line's kind (one for each, so that forcing the
# other line never meets a prefix of the wrong kind), no debug output, no Mono or Gecko prompts.
sfx_wine_env() {
    SFX_WINE_LINE=$(sfx_wine_line) || return 1
    if [ "$SFX_WINE_LINE" = native ]; then
        WINEARCH=win32
        : "${WINEPREFIX:=$HOME/.wine-sfx}"
    else
        WINEARCH=win64
        : "${WINEPREFIX:=$HOME/.wine-sfx64}"
    fi
    export SFX_WINE_LINE WINEARCH WINEPREFIX
    export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    # Wine spells file names in the locale's character set: without a UTF-8 one (CI may set
    # none) a name outside it cannot be made, and the tests make such names. The locale also
    # sets Windows' ANSI code page: SFX_WINE_LOCALE picks another UTF-8 one (ru_RU.UTF-8: 1251).
    export LC_ALL="${SFX_WINE_LOCALE:-C.UTF-8}"
}

# True unless the prefix exists and was made for the other line.
sfx_prefix_fits() {
    [ ! -f "$WINEPREFIX/system.reg" ] || head -n 5 "$WINEPREFIX/system.reg" | grep -qx "#arch=$WINEARCH"
}

# The line's name as the scripts print it.
sfx_wine_line_name() {
    if [ "$SFX_WINE_LINE" = native ]; then echo "native 32-bit"; else echo "qemu-i386"; fi
}
