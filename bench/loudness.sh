#!/usr/bin/env bash
# Loudness: the eight 240-second files converted by the program with
# `Loudness` r128 (each file measured, then converted with its gain) against
# off, the same files in the same session. Writes $BENCH/section-loudness.md
# and summary-loudness.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ROUNDS=${BENCH_LOUDNESS_ROUNDS:-2}
ensure_tools
media240_files
program_run() { program_run_eight "out-loudness-$1" Loudness REG_SZ "$1"; } # off|r128

# The first run of a session pays for the program's and the tools' first start: it is not counted.
program_run off >/dev/null
off=() even=()
for round in $(seq 1 "$ROUNDS"); do
    off+=("$(program_run off)")
    even+=("$(program_run r128)")
    echo "loudness round $round: off ${off[-1]} ms, r128 ${even[-1]} ms"
done
O=$(printf '%s\n' "${off[@]}" | median)
E=$(printf '%s\n' "${even[@]}" | median)
R=$(ratio "$E" "$O")
cat >"$BENCH/summary-loudness.md" <<MD
| 8 files of 240 s, Loudness r128 (measured, then converted) against off | $E ms | $O ms | $R | 1.35: $(verdict "$R" 1.35) |
MD
cat >"$BENCH/section-loudness.md" <<MD
## Even loudness

The eight files of "Several files at once", one at a time, with \`Loudness\` set to \`r128\`
(each file measured by the transcoder, decoding only, then converted with its gain) and to
\`off\`; $ROUNDS rounds, medians.

| | per round (ms) | median (ms) |
|---|---|---|
| off | ${off[*]} | $O |
| r128 | ${even[*]} | $E |

- r128 against off: **$R** (target at most 1.35: **$(verdict "$R" 1.35)**).
MD
