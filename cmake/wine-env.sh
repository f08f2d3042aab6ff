# Sourced: the Wine environment of a test run. A dedicated prefix (default:
# build/wineprefix in the clone), no debug output, and a wineserver kept up so
# that each program start does not pay for the server's start-up again.
: "${KV_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
: "${WINEPREFIX:=$KV_ROOT/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

kv_wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.korvello-ready" ]; then
            rm -rf "$WINEPREFIX"
            wineboot -i >/dev/null 2>&1 || true
            wineserver -w
            touch "$WINEPREFIX/.korvello-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
    # Persistent server: later wine calls attach to it instead of starting one.
    wineserver -p >/dev/null 2>&1 || true
}
