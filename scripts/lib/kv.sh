# shellcheck shell=bash
# Sourced by every script that runs Korvello or its helpers under Wine: the
# ctest emulator, the end-to-end tests, the benchmarks and `make run`.
# The Wine environment of a run: a dedicated prefix (default: build/wineprefix
# in the clone), no debug output, and a wineserver kept up so that each program
# start does not pay for the server's start-up again. Then the helpers the
# scripts share: running Wine commands, kv_drive, path forms, the hidden
# desktop holder, the program's process, and clean-up at exit.
: "${KV_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${WINEPREFIX:=$KV_ROOT/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Prefix of die's message: the name of the script that failed.
: "${KV_WHO:=$(basename "$0" .sh)}"
die() { echo "$KV_WHO: $*" >&2; exit 1; }

# ---- clean-up at exit --------------------------------------------------------------------

# Commands run at exit, the latest first; one trap for them all, so that a script
# can add and withdraw its own without knowing the others.
KV_AT_EXIT=()
kv_run_at_exit() {
    local i
    for ((i = ${#KV_AT_EXIT[@]} - 1; i >= 0; i--)); do eval "${KV_AT_EXIT[i]}"; done
    KV_AT_EXIT=()
}
kv_at_exit() { # command
    KV_AT_EXIT+=("$1")
    trap kv_run_at_exit EXIT
}
kv_cancel_at_exit() { # command: withdraws it without running it
    local kept=() c
    for c in "${KV_AT_EXIT[@]}"; do [[ $c == "$1" ]] || kept+=("$c"); done
    KV_AT_EXIT=("${kept[@]}")
}

# ---- Wine --------------------------------------------------------------------------------

# Wine's server and services outlive the command that starts them. They must not
# inherit our output pipes, or whoever reads them (ctest, make, CI) waits forever.
kv_close_fds() { # in a subshell: every descriptor above 2
    local fd
    for fd in /proc/$BASHPID/fd/*; do
        fd=${fd##*/}
        [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-"
    done
}
kv_detached() {
    (
        kv_close_fds
        exec "$@" </dev/null >/dev/null 2>&1
    )
}

# A display of another DPI: a prefix of its own beside the build's (wineprefix-dpi144),
# whose LogPixels is set once, when it is made, before any program of it starts.
# Wine reads the DPI when a process starts, so one prefix keeps one DPI; the
# build's own prefix stays at Wine's default, 96.
KV_PREFIX_DPI=
kv_use_dpi() { # dpi
    [[ $1 =~ ^[0-9]+$ ]] && (($1 >= 96 && $1 <= 480)) || die "no DPI: '$1'"
    [[ $WINEPREFIX =~ ^(.*)-dpi[0-9]+$ ]] && WINEPREFIX=${BASH_REMATCH[1]}
    WINEPREFIX=$WINEPREFIX-dpi$1
    export WINEPREFIX
    KV_PREFIX_DPI=$1
}

# Windows' interface faces for Chinese, Japanese and Korean are not Wine's:
# Debian's CJK font stands in for them, as Windows' own would.
kv_cjk_fonts() {
    local face
    for face in 'Microsoft YaHei UI' 'Microsoft JhengHei UI' 'Yu Gothic UI' 'Malgun Gothic'; do
        kv_detached wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei' /f || true
    done
    kv_detached wineserver -w || true
}

kv_wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.korvello-ready-2" ]; then
            # A server of the old prefix would outlive it, out of reach once its folder is new.
            kv_stop_wine_server "$WINEPREFIX"
            rm -rf "$WINEPREFIX"
            kv_detached wineboot -i || true
            kv_detached wineserver -w || true
            if [[ -n $KV_PREFIX_DPI ]]; then
                # Both places Wine has read it from; then the server ends, so that
                # every process of the prefix starts with the new value.
                kv_detached wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
                    /d "$KV_PREFIX_DPI" /f || true
                kv_detached wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                    /v LogPixels /t REG_DWORD /d "$KV_PREFIX_DPI" /f || true
                kv_detached wineserver -w || true
                grep -qi '"LogPixels"=dword:0*'"$(printf '%x' "$KV_PREFIX_DPI")" "$WINEPREFIX/user.reg" ||
                    die "LogPixels $KV_PREFIX_DPI not set in $WINEPREFIX"
            fi
            kv_cjk_fonts
            touch "$WINEPREFIX/.korvello-ready-2"
        fi
    ) 9>"$WINEPREFIX.lock" || exit 1
    # Persistent server: later wine calls attach to it instead of starting one.
    kv_detached wineserver -p || true
    # Start the prefix's services now, detached, rather than inside a caller's pipe.
    kv_detached wine cmd /c exit 0 || true
}

# A folder for kv_wrun's output files, removed at exit.
kv_io_dir() {
    KV_IO=$(mktemp -d "${TMPDIR:-/tmp}/korvello-io.XXXXXX")
    kv_at_exit 'rm -rf "$KV_IO"'
}

# Runs a wine command with its output going to files in $KV_IO (see kv_io_dir),
# then prints it without carriage returns. Wine may start long-lived helpers
# (its desktop process) from any call; they inherit that call's output, so
# files, not the caller's pipes, or nobody would see an end.
kv_wrun() {
    wine "$@" </dev/null >"$KV_IO/out" 2>"$KV_IO/err"
    local rc=$?
    tr -d '\r' <"$KV_IO/out"
    grep -v -e '^it looks like wine32' -e '^multiarch needs' -e '^execute "dpkg' -e '^apt-get install wine32' \
        "$KV_IO/err" | tr -d '\r' >&2
    return $rc
}
wrun() { kv_wrun "$@"; }
# kv_drive.exe of the build ($DRIVE): its answers on stdout, its complaints on stderr.
drive() { kv_wrun "$DRIVE" "$@"; }

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
winpath() { kv_winpath "$1"; }
unixpath() { kv_unixpath "$1"; }

# ---- the hidden desktop holder -------------------------------------------------------------

# Wine ends its desktop process a few seconds after the last window closes, and
# a program starting in that moment can fail: a hidden window of kv_drive holds
# it up. A holder started with a pid file outlives its script (a ctest fixture
# starts one for all the end-to-end tests); without one it ends with the script.
KV_HOLDER=
kv_holder_alive() { # pid-file
    local pid
    pid=$(cat "$1" 2>/dev/null) || return 1
    [[ -n $pid ]] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q 'hold-desktop'
}
kv_hold_desktop() { # seconds [pid-file]
    if [[ -n ${2:-} ]]; then
        kv_holder_alive "$2" && return 0
        (
            kv_close_fds
            exec wine "$DRIVE" hold-desktop "$1" </dev/null >/dev/null 2>&1
        ) &
        echo $! >"$2"
    else
        wine "$DRIVE" hold-desktop "$1" </dev/null >/dev/null 2>&1 &
        KV_HOLDER=$!
        kv_at_exit kv_release_desktop
    fi
}
kv_release_desktop() { # [pid-file]
    if [[ -n ${1:-} ]]; then
        kv_holder_alive "$1" && kill "$(cat "$1")" 2>/dev/null
        rm -f "$1"
    elif [[ -n $KV_HOLDER ]]; then
        kill "$KV_HOLDER" 2>/dev/null
        wait "$KV_HOLDER" 2>/dev/null
        KV_HOLDER=
    fi
    return 0
}

# ---- the program's process ---------------------------------------------------------------

# Waits for a background process; 124 when it outlives the limit (it is then killed).
kv_wait_pid() { # pid seconds
    local pid=$1 end=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= end)); then
            kill -9 "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 124
        fi
        sleep 0.1
    done
    wait "$pid"
}

# $EXE started in the background, its output appended to $LOG; waits for its window.
KPID=
start_korvello() {
    wine "$EXE" </dev/null >>"$LOG" 2>&1 &
    KPID=$!
    drive wait-window 60 >/dev/null
}
# Presses the close button and waits for the end; the program's exit code, or
# 124 when it was still running after 30 s (it is then killed).
stop_korvello() {
    [[ -n $KPID ]] || return 0
    if kill -0 "$KPID" 2>/dev/null; then drive close >/dev/null; fi
    kv_wait_pid "$KPID" 30
    local rc=$?
    KPID=
    return $rc
}
# At exit, a program still running is killed: a test that stopped half-way must
# not leave it holding the single-instance lock for the next one.
kv_kill_korvello() {
    [[ -n $KPID ]] && kill -9 "$KPID" 2>/dev/null
    [[ -n $KPID ]] && wait "$KPID" 2>/dev/null
    KPID=
    return 0
}

# Ends the Wine server of each prefix given and waits until it has gone, so
# that nothing of a run, such as a winedevice.exe, keeps running after it.
kv_stop_wine_server() { # prefix...
    local p
    for p; do
        [ -d "$p" ] || continue
        WINEPREFIX=$p wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$p wineserver -w >/dev/null 2>&1 || true
    done
}
# ... of every prefix in a build folder: the tests' own and one per DPI.
kv_stop_wine_servers() { # build-dir
    local p
    for p in "$1"/wineprefix*/; do kv_stop_wine_server "${p%/}"; done
}
# ... of a prefix and of the prefixes of other DPIs beside it (kv_use_dpi).
kv_stop_wine_servers_of() { # prefix
    local p
    for p in "$1" "$1"-dpi*/; do kv_stop_wine_server "${p%/}"; done
}

# The prefixes of a build folder whose Wine server still runs, one per line.
kv_wine_servers_left() { # build-dir
    local pid prefix
    for pid in $(pgrep -x wineserver64; pgrep -x wineserver); do
        # A server ending meanwhile has no environment left to read.
        prefix=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | sed -n 's/^WINEPREFIX=//p')
        [[ $prefix == "$1"/wineprefix* ]] && echo "$prefix"
    done
    return 0
}
