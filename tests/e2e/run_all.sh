#!/usr/bin/env bash
# End-to-end tests of the real program: BUILD_WIN_DIR/korvello.exe under Wine,
# driven through its window by kv_drive.exe the way a user would.
# Usage: tests/e2e/run_all.sh BUILD_WIN_DIR   (DISPLAY must name an X server,
# e.g. through cmake/with-xvfb.sh). Prints PASS/FAIL lines; exits 1 on any failure.
set -uo pipefail

if [[ $# -ne 1 || ! -f $1/korvello.exe ]]; then
    echo "usage: $0 BUILD_WIN_DIR (holding korvello.exe)" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
EXE=$BUILD/korvello.exe
DRIVE=$BUILD/kv_drive.exe
CHILD=$BUILD/kv_child.exe
for f in "$DRIVE" "$CHILD"; do
    [[ -f $f ]] || { echo "missing $f (build the Windows targets first)" >&2; exit 2; }
done
for tool in wine winepath ffmpeg ffprobe mediainfo; do
    command -v "$tool" >/dev/null || { echo "missing '$tool'" >&2; exit 2; }
done
[[ -n ${DISPLAY:-} ]] || { echo "DISPLAY is not set (run through cmake/with-xvfb.sh)" >&2; exit 2; }
# Wine turns the Unix arguments into UTF-16 by the locale: non-Latin paths need UTF-8.
export LC_ALL=C.UTF-8

# shellcheck source=cmake/wine-env.sh disable=SC1091
source "$ROOT/cmake/wine-env.sh"
kv_wine_prefix_ready

E2E=$BUILD/e2e
RUN=$E2E/run
rm -rf "$RUN"
mkdir -p "$RUN"
LOG=$RUN/korvello.log
START=$SECONDS

PASSED=0
FAILED=0
pass() { echo "PASS: $1"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: $1${2:+ -- $2}"; FAILED=$((FAILED + 1)); }
quiet() { "$@" >/dev/null; }
check() { # name detail command...
    local name=$1 detail=$2
    shift 2
    if "$@"; then pass "$name"; else fail "$name" "$detail"; fi
}

IO=$(mktemp -d "${TMPDIR:-/tmp}/korvello-io.XXXXXX")
KV_IO=$IO
wrun() { kv_wrun "$@"; }
drive() { wrun "$DRIVE" "$@"; } # its answers on stdout, its complaints on stderr
winpath() { wrun winepath -w "$1" 2>/dev/null; }
unixpath() { wrun winepath -u "$1" 2>/dev/null; }
reg_value() { # name -> data of HKCU\Software\Korvello\name, or nothing
    wrun reg query 'HKCU\Software\Korvello' /v "$1" 2>/dev/null |
        awk -v n="$1" '$1 == n && $2 == "REG_SZ" { sub(/^[ \t]*[^ \t]+[ \t]+REG_SZ[ \t]+/, ""); print; exit }'
}

# Wine ends its desktop process a few seconds after the last window closes, and
# a program starting in that moment can fail: a hidden window holds it up.
wine "$DRIVE" hold-desktop 3600 </dev/null >/dev/null 2>&1 &
HPID=$!

# A crashing program would wait for a debugger that never comes: let it end instead.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f \
    >/dev/null 2>&1

# ---- the program's process ------------------------------------------------------------

KPID=
start_korvello() {
    wine "$EXE" </dev/null >>"$LOG" 2>&1 &
    KPID=$!
    drive wait-window 60 >/dev/null
}
# Waits for a background process; 124 when it outlives the limit (it is then killed).
wait_pid() { # pid seconds
    local pid=$1 end=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= end)); then
            kill -9 "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 124
        fi
        sleep 0.1
    done
    wait "$pid"
}
stop_korvello() {
    [[ -n $KPID ]] || return 0
    if kill -0 "$KPID" 2>/dev/null; then drive close >/dev/null; fi
    wait_pid "$KPID" 30
    local rc=$?
    KPID=
    return $rc
}
OPID=
cleanup() {
    [[ -n $KPID ]] && kill -9 "$KPID" 2>/dev/null
    [[ -n $OPID ]] && kill -9 "$OPID" 2>/dev/null
    kill "$HPID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$IO"
}
trap cleanup EXIT

# Each scenario starts without settings and without a running copy.
fresh_state() {
    wine reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
    [[ $(drive count-instances) == 0 ]] || { echo "a Korvello is already running in $WINEPREFIX" >&2; exit 2; }
}
set_workdir() { wine reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$1")" /f >/dev/null 2>&1; }

# ---- media ------------------------------------------------------------------------------

"$ROOT/tests/make_media.sh" "$BUILD/media" || { echo "cannot make the test media" >&2; exit 2; }
MEDIA=$E2E/media
if [[ ! -f $MEDIA/.complete ]]; then
    rm -rf "$MEDIA"
    mkdir -p "$MEDIA"
    ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
    cp "$BUILD/media/aac_mono_48k.mp4" "$MEDIA/Лекция 1 — звук.mp4"
    cp "$BUILD/media/aac_stereo_video.mp4" "$MEDIA/two words.mp4"
    # Four minutes of sound: a file the user would call long.
    ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=240" -c:a aac -b:a 96k "$MEDIA/long_240s.mp4"
    # Fifteen minutes, cheap to make and long enough to close the program mid-way.
    ff -f lavfi -i "sine=frequency=330:sample_rate=8000:duration=900" -ac 1 -c:a aac -b:a 16k "$MEDIA/long_900s.mp4"
    touch "$MEDIA/.complete"
fi

APPDATA_WIN=$(wrun cmd /c echo %APPDATA% 2>/dev/null)
APPDIR=$(unixpath "$APPDATA_WIN\\Korvello")
TOOLS=(ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll)
TOOLS_SRC=$(sed -n 's/^KORVELLO_TOOLS_DIR:[A-Z]*=//p' "$BUILD/CMakeCache.txt" 2>/dev/null)

tools_present_hidden() {
    local t
    for t in "${TOOLS[@]}"; do
        [[ -s $APPDIR/$t ]] || return 1
        [[ $(drive attrs "$APPDATA_WIN\\Korvello\\$t") == *hidden* ]] || return 1
    done
}
tools_as_embedded() {
    [[ -d $TOOLS_SRC ]] || return 0
    local t
    for t in "${TOOLS[@]}"; do cmp -s "$TOOLS_SRC/$t" "$APPDIR/$t" || return 1; done
}
check_tools_gone() { # name; waits a little: an ended transcoder may hold its file for a moment
    local t left
    for _ in $(seq 1 50); do
        left=()
        for t in "${TOOLS[@]}"; do [[ -e $APPDIR/$t ]] && left+=("$t"); done
        ((${#left[@]} == 0)) && break
        sleep 0.2
    done
    if ((${#left[@]} == 0)); then pass "$1"; else fail "$1" "left in $APPDIR: ${left[*]}"; fi
}

# ---- a. first start and the single-instance rule -----------------------------------------

echo "== first start"
fresh_state
rm -rf "$APPDIR"
start_korvello
check "first start shows the main window" "no window within 60 s" [ $? -eq 0 ]
WORKDIR_VALUE=$(reg_value WorkDir)
APPDIR_VALUE=$(reg_value AppDir)
check "WorkDir is recorded" "got '$WORKDIR_VALUE'" [ -n "$WORKDIR_VALUE" ]
check "AppDir is recorded as the Application Data tool folder" "got '$APPDIR_VALUE'" \
    [ "${APPDIR_VALUE,,}" = "${APPDATA_WIN,,}\\korvello\\" ]
check "the output folder exists" "$WORKDIR_VALUE" [ -d "$(unixpath "$WORKDIR_VALUE")" ]
check "the tool folder exists" "$APPDIR" [ -d "$APPDIR" ]
check "the five tool files are written hidden" "in $APPDIR" tools_present_hidden
check "the tool files are the embedded ones" "compared with $TOOLS_SRC" tools_as_embedded
check "the output folder shows in its box" "got '$(drive text Edit3)'" [ "$(drive text Edit3)" = "$WORKDIR_VALUE" ]

# The second copy must end by itself; 124 means it was still running after a minute.
timeout 60 wine "$EXE" </dev/null >>"$LOG" 2>&1
second_rc=$?
check "a second start ends by itself with code 0" "code $second_rc" [ "$second_rc" -eq 0 ]
check "one copy runs after a second start" "$(drive count-instances) copies" [ "$(drive count-instances)" = 1 ]
check "the first copy still answers" "window gone" quiet drive wait-window 5

stop_korvello
close_rc=$?
check "the close button ends the program with code 0" "code $close_rc" [ "$close_rc" -eq 0 ]
check_tools_gone "the tool files are deleted at exit"

# ---- b. conversion ----------------------------------------------------------------------------

echo "== conversion"
fresh_state
OUT=$RUN/out-b
set_workdir "$OUT"
start_korvello
check "the program starts with a stored output folder" "no window within 60 s" [ $? -eq 0 ]
check "a stored output folder that is missing is created" "$OUT" [ -d "$OUT" ]
check "the stored output folder shows in its box" "got '$(drive text Edit3)'" \
    [ "$(drive text Edit3)" = "$(winpath "$OUT")" ]

# Each entry: the name the list shows | the file.
GOOD=(
    "aac_stereo_video|$BUILD/media/aac_stereo_video.mp4"
    "aac_mono_48k|$BUILD/media/aac_mono_48k.mp4"
    "aac_51|$BUILD/media/aac_51.mp4"
    "long_240s|$MEDIA/long_240s.mp4"
    "mp3_in_mp4|$BUILD/media/mp3_in_mp4.mp4"
    "Лекция 1 — звук|$MEDIA/Лекция 1 — звук.mp4"
    "two words|$MEDIA/two words.mp4"
)
BAD=(
    "video_only|$BUILD/media/video_only.mp4"
    "truncated|$BUILD/media/truncated.mp4"
)
paths=()
for e in "${GOOD[@]}" "${BAD[@]}"; do paths+=("$(winpath "${e#*|}")"); done
added=$(drive add-file "${paths[@]}")
add_rc=$?
check "every file is accepted" "code $add_rc: $added" [ "$add_rc" -eq 0 ]
expected_rows=$(for e in "${GOOD[@]}" "${BAD[@]}"; do printf 'MP4\t%s\tPending\t\tX\n' "${e%%|*}"; done)
check "each added file gets a pending row" "rows: $(drive rows)" [ "$(drive rows)" = "$expected_rows" ]

# A file that is no video is refused with a message, and no row is added.
refused=$(drive add-file "$(winpath "$BUILD/media/zero.mp4")")
refuse_rc=$?
refused_with_box() { [[ $refuse_rc -eq 2 && $refused == MESSAGE$'\t'Korvello$'\t'?* ]]; }
check "an unreadable file is refused with a message box" "code $refuse_rc: $refused" refused_with_box
check "a refused file adds no row" "rows: $(drive rows)" [ "$(drive rows)" = "$expected_rows" ]

t0=$SECONDS
check "the convert button starts the run" "" drive convert
if drive wait-progress 300 >/dev/null; then
    read -r wx wy ww wh < <(drive window-rect)
    if command -v import >/dev/null && [[ -n ${wh:-} ]]; then
        import -window root -crop "${ww}x${wh}+${wx}+${wy}" +repage "$E2E/window.png" 2>/dev/null
    fi
    pass "rows show Done and a percentage while the run goes on"
else
    fail "rows show Done and a percentage while the run goes on" "$(drive rows)"
fi
rows=$(drive wait-idle 600)
idle_rc=$?
echo "   conversion of ${#paths[@]} files: $((SECONDS - t0)) s"
check "the run ends" "rows: $rows" [ "$idle_rc" -eq 0 ]

duration_of_input() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
# MP3 sound comes in frames of 1152 samples (26 ms): the encoder's delay, the
# padded last frame and an MP3 input's own delay add up to three frames, more
# than 1 % of a short file.
close_enough() { # seconds-in milliseconds-out
    awk -v a="$1" -v b="$2" 'BEGIN { a *= 1000; d = a - b; if (d < 0) d = -d; tol = a / 100; if (tol < 80) tol = 80; exit !(a > 0 && d <= tol) }'
}
for e in "${GOOD[@]}"; do
    name=${e%%|*}
    input=${e#*|}
    row=$(grep -F -- "$(printf '\t%s\t' "$name")" <<<"$rows")
    check "$name: row reads Done with MP3" "row: $row" [ "$row" = "$(printf 'MP4\t%s\tDone\tMP3\tX' "$name")" ]
    mp3=$OUT/$name.mp3
    if [[ ! -s $mp3 ]]; then
        fail "$name: MP3 written" "missing $mp3"
        continue
    fi
    info=$(mediainfo --Inform='Audio;%Format% %SamplingRate% %Channel(s)% %BitRate% %BitRate_Mode%' "$mp3")
    check "$name: MP3 is 44100 Hz, 2 channels, 128 kbit/s CBR" "got '$info'" \
        [ "$info" = "MPEG Audio 44100 2 128000 CBR" ]
    din=$(duration_of_input "$input")
    dout=$(mediainfo --Inform='Audio;%Duration%' "$mp3")
    check "$name: MP3 lasts as long as the input" "input ${din} s, MP3 ${dout} ms" close_enough "$din" "$dout"
done
for e in "${BAD[@]}"; do
    name=${e%%|*}
    row=$(grep -F -- "$(printf '\t%s\t' "$name")" <<<"$rows")
    check "$name: row reads Failed" "row: $row" [ "$row" = "$(printf 'MP4\t%s\tFailed\t\tX' "$name")" ]
done
stop_korvello
close_rc=$?
check "the program ends with code 0 after a run" "code $close_rc" [ "$close_rc" -eq 0 ]

# ---- c. closing during a conversion ---------------------------------------------------------------

echo "== close during a conversion"
fresh_state
OUT=$RUN/out-c
set_workdir "$OUT"
start_korvello
# A transcoder of the same name that the program did not start must survive its exit.
mkdir -p "$RUN/other"
cp "$CHILD" "$RUN/other/ffmpeg.exe"
wine "$RUN/other/ffmpeg.exe" --sleep 300000 </dev/null >/dev/null 2>&1 &
OPID=$!
check "the unrelated ffmpeg.exe runs" "" bash -c "sleep 1; kill -0 $OPID"
drive add-file "$(winpath "$MEDIA/long_900s.mp4")" >/dev/null
drive convert >/dev/null
check "the conversion is under way" "rows: $(drive rows)" quiet drive wait-running 120
check "two ffmpeg.exe processes run" "$(drive count-processes ffmpeg.exe)" [ "$(drive count-processes ffmpeg.exe)" = 2 ]
drive close >/dev/null
wait_pid "$KPID" 30
close_rc=$?
KPID=
check "closing mid-way ends the program with code 0" "code $close_rc" [ "$close_rc" -eq 0 ]
check_tools_gone "the tool files are deleted"
partial=$(stat -c %s "$OUT/long_900s.mp3" 2>/dev/null || echo 0)
# Complete, the MP3 would hold 900 s at 16000 bytes a second.
check "the half-written MP3 stays" "size $partial" [ "$partial" -gt 0 -a "$partial" -lt 14400000 ]
check "the program's own transcoder is ended" "$(drive count-processes ffmpeg.exe) left" \
    [ "$(drive count-processes ffmpeg.exe)" = 1 ]
check "the unrelated ffmpeg.exe still runs" "" kill -0 "$OPID"
kill "$OPID" 2>/dev/null
wait "$OPID" 2>/dev/null
OPID=

echo "e2e: $PASSED passed, $FAILED failed, $((SECONDS - START)) s"
[[ -f $E2E/window.png ]] && echo "screenshot: $E2E/window.png"
((FAILED == 0))
