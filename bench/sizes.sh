#!/usr/bin/env bash
# Sizes of the program and of the five tool files it carries. Writes $BENCH/section-sizes.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ensure_tools
{
    echo "## (e) Sizes"
    echo
    echo "| file | bytes |"
    echo "|---|---|"
    total=0
    for t in ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll; do
        s=$(stat -c %s "$TOOLS/$t")
        total=$((total + s))
        echo "| $t | $s |"
    done
    echo "| the five tool files | $total |"
    echo "| korvello.exe (with the tool files inside) | $(stat -c %s "$EXE") |"
    echo
    echo "The tool files are the copies the program wrote into its tool folder at start."
} >"$BENCH/section-sizes.md"
echo "| the five tool files / korvello.exe | $total / $(stat -c %s "$EXE") bytes | | | 12 MB for the tools |" \
    >"$BENCH/summary-sizes.md"
