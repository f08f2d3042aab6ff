#!/usr/bin/env bash
# Priority: the eight 240-second files converted by the program two at a time
# with its transcoders at below-normal priority (the default) and at normal, on
# an otherwise idle machine: below normal only yields to other work, so the
# time must stay the same. Writes $BENCH/section-priority.md and summary-priority.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ROUNDS=${BENCH_PRIORITY_ROUNDS:-3}
ensure_tools
ensure_media240
mapfile -t FILES < <(ls "$MEDIA"/long_*.mp4)
FILES_WIN=()
for f in "${FILES[@]}"; do FILES_WIN+=("$(winpath "$f")"); done

program_run() { # priority -> ms for the eight files, two at once
    local out=$BENCH/out-priority-$1 result rc
    rm -rf "$out"
    mkdir -p "$out"
    bench_start "$out"
    stop_korvello
    wrun reg add 'HKCU\Software\Korvello' /v FilesAtOnce /t REG_DWORD /d 2 /f >/dev/null 2>&1
    wrun reg add 'HKCU\Software\Korvello' /v Priority /t REG_SZ /d "$1" /f >/dev/null 2>&1
    start_korvello || die "Korvello's window did not appear"
    drive add-file "${FILES_WIN[@]}" >/dev/null || die "the program did not take the files"
    result=$(drive convert --wait 1800)
    rc=$?
    stop_korvello
    ((rc == 0)) && (($(grep -c $'\tDone\tMP3\t' <<<"$result") == 8)) || die "the run at $1 priority failed: $result"
    awk '$1 == "elapsed_ms" { print $2 }' <<<"$result"
}

below=() normal=()
for round in $(seq 1 "$ROUNDS"); do
    below+=("$(program_run below-normal)")
    normal+=("$(program_run normal)")
    echo "priority round $round: below normal ${below[-1]} ms, normal ${normal[-1]} ms"
done
B=$(printf '%s\n' "${below[@]}" | median)
N=$(printf '%s\n' "${normal[@]}" | median)
R=$(ratio "$B" "$N")
cat >"$BENCH/summary-priority.md" <<MD
| 8 files of 240 s two at once, transcoders below normal against normal | $B ms | $N ms | $R | 1.05: $(verdict "$R" 1.05) |
MD
cat >"$BENCH/section-priority.md" <<MD
## Transcoders below normal priority

The eight files of "Several files at once", two at a time, with \`Priority\` set to
\`below-normal\` (the default) and to \`normal\`, on an otherwise idle machine; $ROUNDS rounds,
medians. Below normal yields the processors to other work only: alone, it is as fast.

| | per round (ms) | median (ms) |
|---|---|---|
| below normal | ${below[*]} | $B |
| normal | ${normal[*]} | $N |

- Below normal against normal: **$R** (target at most 1.05: **$(verdict "$R" 1.05)**).
MD
