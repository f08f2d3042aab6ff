#!/usr/bin/env bash
# Benchmarks of korvello.exe under Wine, each against a baseline measured in the
# same run; one Markdown report: BUILD_WIN_DIR/bench/report.md.
# Usage: bench/run_all.sh BUILD_WIN_DIR [PART...]   (uses a virtual display when DISPLAY is unset)
# Parts: tools batch parallel priority probe startup starts addfolder kinds loudness sizes (all by default).
# Knobs: BENCH_ROUNDS (batch rounds, 5), BENCH_PARALLEL_ROUNDS (3), BENCH_PROBE_RUNS (20), BENCH_START_RUNS (10),
# BENCH_TOOL_ROUNDS (5), BENCH_READER_RUNS (10), BENCH_FOLDER_FILES (200), BENCH_BIG_FOLDER_FILES (1000),
# BENCH_STARTS_RUNS (3), BENCH_KIND_SECONDS (240), BENCH_LOUDNESS_ROUNDS (2).
set -uo pipefail

ALL_PARTS=(tools batch parallel priority probe startup starts addfolder kinds loudness sizes)
if [[ $# -lt 1 || ! -f $1/korvello.exe || ! -f $1/kv_drive.exe ]]; then
    echo "usage: $0 BUILD_WIN_DIR [PART...] (the folder holding korvello.exe and kv_drive.exe)" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
shift
PARTS=("$@")
((${#PARTS[@]})) || PARTS=("${ALL_PARTS[@]}")
for part in "${PARTS[@]}"; do
    [[ " ${ALL_PARTS[*]} " == *" $part "* ]] || { echo "unknown part '$part' (parts: ${ALL_PARTS[*]})" >&2; exit 2; }
done
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ -z ${DISPLAY:-} ]]; then exec "$ROOT/cmake/with-xvfb.sh" "$0" "$BUILD" "${PARTS[@]}"; fi
for tool in wine winepath ffmpeg; do
    command -v "$tool" >/dev/null || { echo "missing '$tool'" >&2; exit 2; }
done

BENCH=$BUILD/bench
mkdir -p "$BENCH"
rm -f "$BENCH"/section-*.md "$BENCH"/summary-*.md "$BENCH/probe_program.txt" "$BENCH/add_program.txt" "$BENCH/report.md"
export BUILD BENCH ROOT
source "$ROOT/bench/common.sh"
kv_wine_prefix_ready
kv_hold_desktop 7200
[[ $(drive count-instances) == 0 ]] || die "a Korvello is already running in $WINEPREFIX"
# The tool copies follow the program that is measured.
[[ $TOOLS/.complete -nt $EXE ]] || rm -rf "$TOOLS"

START=$SECONDS
failed=()
for part in "${PARTS[@]}"; do
    echo "== $part"
    "$ROOT/bench/$part.sh" || failed+=("$part")
done

{
    echo "# Korvello benchmarks"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'); $(wine --version 2>/dev/null); $(nproc) CPU cores" \
        "($(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)); display $DISPLAY."
    echo "Program: \`$EXE\`. Every time is a wall-clock time inside Wine, compared with a"
    echo "baseline measured in the same run on the same machine."
    echo
    echo "## Summary"
    echo
    echo "| benchmark | Korvello | baseline (same run) | ratio | target |"
    echo "|---|---|---|---|---|"
    for part in "${PARTS[@]}"; do
        if [[ -f $BENCH/summary-$part.md ]]; then cat "$BENCH/summary-$part.md"; else echo "| $part | failed | | | |"; fi
    done
    echo
    for part in "${PARTS[@]}"; do
        if [[ -f $BENCH/section-$part.md ]]; then cat "$BENCH/section-$part.md"; else echo "## $part: failed"; fi
        echo
    done
} >"$BENCH/report.md"
echo "report: $BENCH/report.md ($((SECONDS - START)) s)"
((${#failed[@]} == 0)) || { echo "failed parts: ${failed[*]}" >&2; exit 1; }
