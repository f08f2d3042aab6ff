# shellcheck shell=bash
# Sourced by the benchmark scripts: the Wine environment, kv_drive, the
# program's process and small statistics. Expects BUILD (the Windows build
# folder) and BENCH (the benchmark's work folder) to be set.
ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export LC_ALL=C.UTF-8
KV_WHO=bench
# shellcheck source=scripts/lib/kv.sh disable=SC1091
source "$ROOT/scripts/lib/kv.sh"
EXE=$BUILD/korvello.exe
DRIVE=$BUILD/kv_drive.exe
LOG=$BENCH/korvello.log
kv_io_dir
kv_at_exit kv_kill_korvello

# The program started with no settings but an output folder.
bench_start() { # output-folder
    wrun reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
    wrun reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$1")" /f >/dev/null 2>&1
    start_korvello || die "Korvello's window did not appear"
}

# Statistics over numbers on standard input, one a line.
median() { sort -n | awk '{ a[NR] = $1 } END { if (!NR) exit 1; print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
minimum() { sort -n | head -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }
verdict() { # value target -> met / missed
    awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "met" : "missed" }'
}

# Milliseconds of a native command, from fork to exit; of a Windows program
# inside Wine, from process creation to exit (nothing unless it ended with 0).
native_ms() {
    local t0 t1
    t0=$(date +%s%N)
    "$@" </dev/null >/dev/null 2>&1 || return 1
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}
wine_ms() { drive time-run 1 "$@" | awk '$1 == "run_ms" && $4 == 0 { print $2 }'; }

# Copies of the five tool files as the program writes them, for the baselines.
TOOLS=$BENCH/tools
ensure_tools() {
    [[ -f $TOOLS/.complete ]] && return 0
    mkdir -p "$TOOLS" "$BENCH/out-tools"
    bench_start "$BENCH/out-tools"
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

# Eight MP4 files of 240 s of stereo AAC (44.1 kHz, 128 kbit/s) in $BENCH/media240.
MEDIA=$BENCH/media240
ensure_media240() {
    [[ -f $MEDIA/.complete ]] && return 0
    rm -rf "$MEDIA"
    mkdir -p "$MEDIA"
    for i in 1 2 3 4 5 6 7 8; do
        ffmpeg -hide_banner -loglevel error -y \
            -f lavfi -i "sine=frequency=$((300 + i * 40)):sample_rate=44100:duration=240" \
            -ac 2 -c:a aac -b:a 128k "$MEDIA/long_$i.mp4" || die "cannot make the benchmark media"
    done
    touch "$MEDIA/.complete"
}
# FILES and FILES_WIN: the eight files, as Linux and as the program name them.
media240_files() {
    ensure_media240
    mapfile -t FILES < <(ls "$MEDIA"/long_*.mp4)
    FILES_WIN=()
    local f
    for f in "${FILES[@]}"; do FILES_WIN+=("$(winpath "$f")"); done
}

# The program's run of the eight files with these settings (name type data
# ...), in ms from the press of the convert button until every row is Done.
program_run_eight() { # out-folder-name [name type data]...
    local out=$BENCH/$1 result rc
    shift
    rm -rf "$out"
    mkdir -p "$out"
    bench_start "$out"
    stop_korvello
    while (($# >= 3)); do
        wrun reg add 'HKCU\Software\Korvello' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
        shift 3
    done
    start_korvello || die "Korvello's window did not appear"
    drive add-file "${FILES_WIN[@]}" >/dev/null || die "the program did not take the files"
    result=$(drive convert --wait 1800)
    rc=$?
    stop_korvello
    ((rc == 0)) && (($(grep -c $'\tDone\tMP3\t' <<<"$result") == 8)) || die "the run ($*) failed: $result"
    awk '$1 == "elapsed_ms" { print $2 }' <<<"$result"
}
