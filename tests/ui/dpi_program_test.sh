#!/usr/bin/env bash
# The real program on a display of another DPI, driven through its window by
# kv_drive as a user would: the window's size, the add-file, convert and close
# buttons at their scaled places, the rows and the MP3s. Leaves a screenshot,
# BUILD_WIN_DIR/dpi-DPI/window.png (docs/window@150.png is the one of 144 dpi).
# Usage: tests/ui/dpi_program_test.sh BUILD_WIN_DIR DPI   (DISPLAY must name an X server)
set -uo pipefail
if [[ $# -ne 2 || ! -f $1/korvello.exe ]]; then
    echo "usage: $0 BUILD_WIN_DIR DPI" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
DPI=$2
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
EXE=$BUILD/korvello.exe
DRIVE=$BUILD/kv_drive.exe
OUT=$BUILD/dpi-$DPI
LOG=$OUT/korvello.log
KV_WHO=dpi_program_test
# shellcheck source=scripts/lib/kv.sh disable=SC1091
source "$ROOT/scripts/lib/kv.sh"
kv_use_dpi "$DPI"
kv_wine_prefix_ready
kv_io_dir
rm -rf "$OUT"
mkdir -p "$OUT/mp3"
kv_hold_desktop 600
kv_at_exit kv_kill_korvello

failures=0
check() { # description detail command...
    local what=$1 detail=$2
    shift 2
    if "$@"; then echo "PASS: $what"; else echo "FAIL: $what ($detail)"; failures=$((failures + 1)); fi
}
scaled() { echo $((($1 * DPI + 48) / 96)); } # as MulDiv rounds positive values

wrun reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
wrun reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$OUT/mp3")" /f >/dev/null ||
    die "cannot set the output folder"
start_korvello || die "no window within 60 s"
read -r _ _ w h < <(drive window-rect)
check "the window is the layout at $DPI dpi" "${w}x$h" [ "$w" = "$(scaled 503)" ] && [ "$h" = "$(scaled 479)" ]

# Add MP4 File at its scaled place, three times.
names=(aac_stereo_video aac_mono_48k mp3_in_mp4)
for n in "${names[@]}"; do
    drive add-file "$(winpath "$BUILD/media/$n.mp4")" >/dev/null
    rc=$?
    check "Add MP4 File adds $n" "code $rc" [ "$rc" -eq 0 ]
done
rows=$(drive rows)
check "three pending rows" "rows: $rows" [ "$(grep -c $'\tPending\t' <<<"$rows")" -eq 3 ]

# Convert at its scaled place (inside the button's scaled shape).
drive convert --wait 300 >/dev/null
rc=$?
rows=$(drive rows)
check "the convert button runs every row" "code $rc, rows: $rows" [ "$(grep -c $'\tDone\t' <<<"$rows")" -eq 3 ]
for n in "${names[@]}"; do check "$n.mp3 is written" "in $OUT/mp3" [ -s "$OUT/mp3/$n.mp3" ]; done

if command -v import >/dev/null; then
    read -r x y w h < <(drive window-rect)
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$OUT/window.png" 2>/dev/null &&
        echo "screenshot: $OUT/window.png"
fi

# The close button at its scaled place ends the program.
stop_korvello
rc=$?
check "the close button ends the program with code 0" "code $rc" [ "$rc" -eq 0 ]
echo "$failures failed"
((failures == 0))
