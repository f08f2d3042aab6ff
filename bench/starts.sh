#!/usr/bin/env bash
# Many starts at once, as Explorer starts one copy per selected file: from the
# first of 32 simultaneous starts (one MP4 file each) to the 32nd row in the
# one window that takes them, against one start given all 32 files on its
# command line. Writes $BENCH/section-starts.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
RUNS=${BENCH_STARTS_RUNS:-3}
COPIES=32
IN=$BENCH/starts-in
OUT=$BENCH/out-starts
mkdir -p "$IN" "$OUT"
[[ -f $BUILD/media/aac_mono_48k.mp4 ]] || "$ROOT/tests/make_media.sh" "$BUILD/media" >/dev/null ||
    die "cannot make the test media"
for i in $(seq -w 1 $COPIES); do cp -f "$BUILD/media/aac_mono_48k.mp4" "$IN/clip $i.mp4"; done
files=()
for i in $(seq -w 1 $COPIES); do files+=("$(winpath "$IN/clip $i.mp4")"); done

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Milliseconds from the given start until the window lists `count` rows.
until_rows() { # start-ms count
    local n=0
    for _ in $(seq 1200); do
        n=$(drive rows 2>/dev/null | grep -c .)
        ((n >= $2)) && break
        sleep 0.1
    done
    ((n >= $2)) || return 1
    echo $(($(now_ms) - $1))
}
# The copies' Wine processes: every one but the first ends by itself.
finish() {
    drive close >/dev/null
    local pid
    for pid in "$@"; do kv_wait_pid "$pid" 60 >/dev/null; done
}

many='' one=''
for r in $(seq 1 "$RUNS"); do
    wrun reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
    wrun reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$OUT")" /f >/dev/null 2>&1
    pids=()
    t0=$(now_ms)
    for f in "${files[@]}"; do
        wine "$EXE" "$f" </dev/null >>"$LOG" 2>&1 &
        pids+=($!)
    done
    m=$(until_rows "$t0" $COPIES) || die "$COPIES starts did not give $COPIES rows"
    finish "${pids[@]}"
    t0=$(now_ms)
    wine "$EXE" "${files[@]}" </dev/null >>"$LOG" 2>&1 &
    pid=$!
    o=$(until_rows "$t0" $COPIES) || die "one start with $COPIES files did not give $COPIES rows"
    finish "$pid"
    many+="$m"$'\n' one+="$o"$'\n'
    echo "run $r: $COPIES starts $m ms, one start $o ms"
done
many=${many%$'\n'} one=${one%$'\n'}
M=$(median <<<"$many")
O=$(median <<<"$one")
R=$(ratio "$M" "$O")

cat >"$BENCH/summary-starts.md" <<MD
| $COPIES starts at once, one file each, to the last row | $M ms | $O ms, one start with all $COPIES files | $R | |
MD
cat >"$BENCH/section-starts.md" <<MD
## (g) Many starts at once

$COPIES copies of the program started together, one MP4 file (6 s) each, as Explorer's
"Open with" does for $COPIES selected files: from the first start until the one window that
takes them lists $COPIES rows (each probed for its duration). Baseline: one start given the
same $COPIES files on its command line, to the same last row. $RUNS runs of each, in turn;
rows are counted every 100 ms by kv_drive.

| | runs (ms) | median (ms) |
|---|---|---|
| $COPIES starts | $(tr '\n' ' ' <<<"$many") | $M |
| one start, $COPIES files | $(tr '\n' ' ' <<<"$one") | $O |

Ratio **$R**: what the $((COPIES - 1)) extra processes cost (each starts Wine, builds its hidden
window, finds the first copy and hands its file over), on $(nproc) cores.
MD
