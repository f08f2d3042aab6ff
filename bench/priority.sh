#!/usr/bin/env bash
# Priority: the eight 240-second files converted by the program two at a time
# with its transcoders at below-normal priority (the default) and at normal, on
# an otherwise idle machine: below normal only yields to other work, so the
# time must stay the same. Writes $BENCH/section-priority.md and summary-priority.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ROUNDS=${BENCH_PRIORITY_ROUNDS:-3}
ensure_tools
media240_files
program_run() { program_run_eight "out-priority-$1" FilesAtOnce REG_DWORD 2 Priority REG_SZ "$1"; } # priority

# The first run of a session pays for the program's and the tools' first start: it is not counted.
program_run below-normal >/dev/null
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
