# Sourced: the Wine environment of a test run. A dedicated prefix (default:
# build/wineprefix in the clone), no debug output, and a wineserver kept up so
# that each program start does not pay for the server's start-up again.
: "${KV_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
: "${WINEPREFIX:=$KV_ROOT/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Wine's server and services outlive the command that starts them. They must not
# inherit our output pipes, or whoever reads them (ctest, make, CI) waits forever.
kv_detached() {
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-"
        done
        exec "$@" </dev/null >/dev/null 2>&1
    )
}

kv_wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.korvello-ready" ]; then
            rm -rf "$WINEPREFIX"
            kv_detached wineboot -i || true
            kv_detached wineserver -w || true
            touch "$WINEPREFIX/.korvello-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
    # Persistent server: later wine calls attach to it instead of starting one.
    kv_detached wineserver -p || true
    # Start the prefix's services now, detached, rather than inside a caller's pipe.
    kv_detached wine cmd /c exit 0 || true
}

# Runs a wine command with its output going to files in $KV_IO (a folder the
# caller made), then prints it without carriage returns. Wine may start
# long-lived helpers (its desktop process) from any call; they inherit that
# call's output, so files, not the caller's pipes, or nobody would see an end.
kv_wrun() {
    wine "$@" </dev/null >"$KV_IO/out" 2>"$KV_IO/err"
    local rc=$?
    tr -d '\r' <"$KV_IO/out"
    grep -v -e '^it looks like wine32' -e '^multiarch needs' -e '^execute "dpkg' -e '^apt-get install wine32' \
        "$KV_IO/err" | tr -d '\r' >&2
    return $rc
}

# Path forms without starting Wine: every start is a chance for Wine's own
# start-up to stumble, and these answers follow from the prefix's drive table.
# A Unix path is Z: (the whole file system) in Wine's view.
kv_winpath() {
    local p
    p=$(realpath -ms -- "$1")
    printf 'Z:%s\n' "${p//\//\\}"
}
# A drive path back to Unix, through the prefix's drive links.
kv_unixpath() {
    local p=$1 letter base
    letter=$(printf '%s' "${p:0:1}" | tr '[:upper:]' '[:lower:]')
    base=$(readlink -f "$WINEPREFIX/dosdevices/$letter:") || return 1
    p=${p:2}
    printf '%s%s\n' "${base%/}" "${p//\\//}"
}
