# shellcheck shell=bash
# Sourced by the benchmark scripts: the Wine environment, kv_drive, the
# program's process and small statistics. Expects BUILD (the Windows build
# folder) and BENCH (the benchmark's work folder) to be set.
ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export LC_ALL=C.UTF-8
# shellcheck source=cmake/wine-env.sh disable=SC1091
source "$ROOT/cmake/wine-env.sh"
EXE=$BUILD/korvello.exe
DRIVE=$BUILD/kv_drive.exe
LOG=$BENCH/korvello.log

IO=$(mktemp -d "${TMPDIR:-/tmp}/korvello-bench-io.XXXXXX")
KV_IO=$IO
wrun() { kv_wrun "$@"; }
drive() { wrun "$DRIVE" "$@"; }
winpath() { kv_winpath "$1"; }
unixpath() { kv_unixpath "$1"; }
die() { echo "bench: $*" >&2; exit 1; }

KPID=
start_korvello() { # output-folder
    wrun reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
    wrun reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$1")" /f >/dev/null 2>&1
    wine "$EXE" </dev/null >>"$LOG" 2>&1 &
    KPID=$!
    drive wait-window 60 >/dev/null || die "Korvello's window did not appear"
}
stop_korvello() {
    [[ -n $KPID ]] || return 0
    drive close >/dev/null
    local i
    for i in $(seq 1 300); do kill -0 "$KPID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$KPID" 2>/dev/null
    wait "$KPID" 2>/dev/null
    KPID=
}
bench_cleanup() {
    [[ -n $KPID ]] && kill -9 "$KPID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$IO"
}

# Statistics over numbers on standard input, one a line.
median() { sort -n | awk '{ a[NR] = $1 } END { if (!NR) exit 1; print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
minimum() { sort -n | head -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }
verdict() { # value target -> met / missed
    awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "met" : "missed" }'
}

# Copies of the five tool files as the program writes them, for the baselines.
TOOLS=$BENCH/tools
ensure_tools() {
    [[ -f $TOOLS/.complete ]] && return 0
    mkdir -p "$TOOLS" "$BENCH/out-tools"
    start_korvello "$BENCH/out-tools"
    local appdir t
    appdir=$(unixpath "$(wrun reg query 'HKCU\Software\Korvello' /v AppDir 2>/dev/null |
        awk '$1 == "AppDir" { sub(/^[ \t]*AppDir[ \t]+REG_SZ[ \t]+/, ""); print }')")
    for t in ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll; do
        cp "$appdir/$t" "$TOOLS/$t" || { stop_korvello; die "cannot copy $t from $appdir"; }
    done
    stop_korvello
    touch "$TOOLS/.complete"
}

# Sixty-second MP4 files: stereo AAC at 44.1 kHz over a small test picture.
ensure_batch_media() {
    local dir=$BENCH/media i
    [[ -f $dir/.complete ]] && return 0
    rm -rf "$dir"
    mkdir -p "$dir"
    for i in $(seq -w 1 10); do
        ffmpeg -hide_banner -loglevel error -y \
            -f lavfi -i "sine=frequency=$((300 + 10#$i * 40)):sample_rate=44100:duration=60" \
            -f lavfi -i "testsrc=size=160x120:rate=10:duration=60" \
            -map 0:a -map 1:v -ac 2 -c:a aac -b:a 128k -c:v mpeg4 -shortest "$dir/clip_$i.mp4" ||
            die "cannot make the benchmark media"
    done
    touch "$dir/.complete"
}
