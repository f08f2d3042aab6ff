#!/usr/bin/env bash
# Starts Korvello under Wine: BUILD_WIN_DIR/korvello.exe.
# With a display (DISPLAY set): on that display, until the user closes it.
# Without one: a demo on a virtual display, driven through the real window:
# a short MP4 made now with Debian's ffmpeg is added, converted and the
# program closed; the MP3 and a screenshot stay in BUILD_WIN_DIR/run/.
# Usage: scripts/run.sh BUILD_WIN_DIR
set -uo pipefail

if [[ $# -lt 1 || ! -f $1/korvello.exe ]]; then
    echo "usage: $0 BUILD_WIN_DIR (holding korvello.exe)" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MODE=${2:-}
export LC_ALL=C.UTF-8
KV_WHO=run
# shellcheck source=scripts/lib/kv.sh disable=SC1091
source "$ROOT/scripts/lib/kv.sh"
OUT=$BUILD/run
mkdir -p "$OUT"
LOG=$OUT/korvello.log

if [[ -z ${DISPLAY:-} && $MODE != --demo ]]; then
    echo "No display: running the demo on a virtual one."
    exec "$ROOT/cmake/with-xvfb.sh" "$0" "$BUILD" --demo
fi

kv_wine_prefix_ready
DRIVE=$BUILD/kv_drive.exe

if [[ $MODE != --demo ]]; then
    echo "Korvello runs on $DISPLAY; close its window to end. Wine's messages: $LOG"
    wine "$BUILD/korvello.exe" </dev/null >>"$LOG" 2>&1
    rc=$?
    echo "Korvello ended with code $rc."
    exit $rc
fi

kv_io_dir
[[ -f $DRIVE ]] || die "missing $DRIVE"
kv_hold_desktop 3600
command -v ffmpeg >/dev/null || die "missing Debian's ffmpeg"
[[ $(drive count-instances) == 0 ]] || die "a Korvello is already running in $WINEPREFIX"

# Twenty seconds of two tones over a test picture.
DEMO=$OUT/korvello-demo.mp4
ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=20" \
    -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=20" \
    -f lavfi -i "testsrc=size=320x240:rate=25:duration=20" \
    -filter_complex "[0:a][1:a]amerge=inputs=2[a]" -map "[a]" -map 2:v \
    -c:a aac -b:a 128k -c:v mpeg4 -shortest "$DEMO" || die "cannot make the demo MP4"
MP3DIR=$OUT/output
mkdir -p "$MP3DIR"
rm -f "$MP3DIR/korvello-demo.mp3"
wrun reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(wrun winepath -w "$MP3DIR")" /f >/dev/null 2>&1

EXE=$BUILD/korvello.exe
kv_at_exit kv_kill_korvello
start_korvello || die "the window did not appear"
echo "Korvello started; adding $DEMO"
drive add-file "$(wrun winepath -w "$DEMO")" || die "the file was not added"
echo "Converting..."
drive convert --wait 300 || die "the conversion did not end"
SHOT=$OUT/korvello.png
if command -v import >/dev/null; then
    read -r x y w h < <(drive window-rect)
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$SHOT" 2>/dev/null || SHOT=
else
    SHOT=
fi
stop_korvello
rc=$?
MP3=$MP3DIR/korvello-demo.mp3
[[ -s $MP3 ]] || die "no MP3 was written"
echo "MP3:        $MP3 ($(stat -c %s "$MP3") bytes$(command -v mediainfo >/dev/null &&
    mediainfo --Inform='Audio;, %Duration/String3%, %SamplingRate% Hz, %Channel(s)% channels, %BitRate/String%' "$MP3"))"
[[ -n $SHOT ]] && echo "Screenshot: $SHOT"
echo "Korvello closed with code $rc."
exit 0
