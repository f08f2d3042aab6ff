#!/usr/bin/env bash
# Several files at once: eight 240-second MP4 files converted by the program
# one at a time and two at a time, and by Debian's own native ffmpeg with the
# same options, two at a time (xargs -P 2), on the same machine. Writes
# $BENCH/section-parallel.md and $BENCH/summary-parallel.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ROUNDS=${BENCH_PARALLEL_ROUNDS:-3}
ensure_tools

media240_files
program_run() { program_run_eight "out-parallel-$1" FilesAtOnce REG_DWORD "$1"; } # files-at-once

# Debian's ffmpeg, natively, two at a time, with the program's options but for
# -deinterlace, which only the program's own build still accepts (it does
# nothing for sound).
native_run() {
    local out=$BENCH/out-native t0
    rm -rf "$out"
    mkdir -p "$out"
    t0=$(date +%s%N)
    printf '%s\n' "${FILES[@]}" | xargs -P 2 -I{} sh -c \
        'ffmpeg -hide_banner -loglevel error -y -i "$1" -ar 44100 -ab 128 -ac 2 -f mp3 "$2/$(basename "$1" .mp4).mp3"' \
        _ {} "$out"
    echo $((($(date +%s%N) - t0) / 1000000))
    (($(ls "$out"/*.mp3 | wc -l) == 8)) || die "the native run wrote $(ls "$out"/*.mp3 | wc -l) of 8 MP3 files"
}

one=() two=() native=()
for round in $(seq 1 "$ROUNDS"); do
    one+=("$(program_run 1)")
    two+=("$(program_run 2)")
    native+=("$(native_run)")
    echo "parallel round $round: one at a time ${one[-1]} ms, two at once ${two[-1]} ms, native two at a time ${native[-1]} ms"
done
O=$(printf '%s\n' "${one[@]}" | median)
T=$(printf '%s\n' "${two[@]}" | median)
N=$(printf '%s\n' "${native[@]}" | median)
SPEEDUP=$(ratio "$O" "$T")
RN=$(ratio "$T" "$N")
met_speedup=$(awk -v s="$SPEEDUP" 'BEGIN { print (s >= 1.8) ? "met" : "missed" }')

cat >"$BENCH/summary-parallel.md" <<MD
| 8 files of 240 s, two at once against one at a time | $T ms | $O ms one at a time | speed-up $SPEEDUP | at least 1.8: $met_speedup |
| the same two at once against Debian's native ffmpeg, two at a time | $T ms | $N ms | $RN | 1.10: $(verdict "$RN" 1.10) |
MD
cat >"$BENCH/section-parallel.md" <<MD
## Several files at once: 8 files of 240 s

Eight MP4 files (240 s of stereo AAC, 44.1 kHz, 128 kbit/s). **Program**: the files added
through the window, "Files converted at once" set to 1 and then 2 in the registry, and the time
from the press of the convert button until every row reads "Done". **Native floor**: Debian's
own \`ffmpeg\` (same FFmpeg and LAME versions, built natively for Linux) on the same files with
the same options but \`-deinterlace\`, two at a time (\`xargs -P 2\`). $ROUNDS rounds; medians.
$(nproc) CPU cores.

| | per round (ms) | median (ms) |
|---|---|---|
| Korvello, one at a time | ${one[*]} | $O |
| Korvello, two at once | ${two[*]} | $T |
| Debian's ffmpeg, two at a time | ${native[*]} | $N |

- Two at once against one at a time: **$SPEEDUP** times faster (target at least 1.8: **$met_speedup**).
- Two at once against the native floor: **$RN** (target at most 1.10: **$(verdict "$RN" 1.10)**).
MD
