#!/usr/bin/env bash
# End-to-end tests of the real program: BUILD_WIN_DIR/korvello.exe under Wine,
# driven through its window by kv_drive.exe the way a user would.
# Usage: tests/e2e/run_all.sh BUILD_WIN_DIR [SCENARIO...]   (DISPLAY must name an
# X server, e.g. through cmake/with-xvfb.sh). The scenarios are the files next to
# this one: basics handover hostile faults longpaths dist install choices soak (all by default). Prints
# PASS/FAIL/SKIP lines and a summary; exits 1 on any failure.
# ctest runs each scenario as a test of its own (label e2e), with a fixture of
# two more calls: --setup BUILD_WIN_DIR makes the media and starts one hidden
# desktop holder for all the scenarios, --teardown BUILD_WIN_DIR ends it.
set -uo pipefail

MODE=run
case ${1:-} in --setup | --teardown) MODE=${1#--} && shift ;; esac
if [[ $# -lt 1 || ! -f $1/korvello.exe ]]; then
    echo "usage: $0 [--setup|--teardown] BUILD_WIN_DIR (holding korvello.exe) [SCENARIO...]" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
shift
SCENARIOS=("$@")
((${#SCENARIOS[@]})) || SCENARIOS=(basics handover hostile faults longpaths dist install choices keeping kinds places loudness language soak)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
EXE=$BUILD/korvello.exe
DRIVE=$BUILD/kv_drive.exe
CHILD=$BUILD/kv_child.exe
E2E=$BUILD/e2e
HOLDER_PID=$E2E/holder.pid
SUMMARY=$E2E/summary.txt
KV_WHO=e2e
# shellcheck source=scripts/lib/kv.sh disable=SC1091
source "$ROOT/scripts/lib/kv.sh"

for scenario in "${SCENARIOS[@]}"; do
    [[ -f $ROOT/tests/e2e/$scenario.sh ]] || { echo "no scenario '$scenario'" >&2; exit 2; }
done
if [[ $MODE == teardown ]]; then
    kv_release_desktop "$HOLDER_PID"
    exit 0
fi
for f in "$DRIVE" "$CHILD" "$BUILD/kv_outside.exe"; do
    [[ -f $f ]] || { echo "missing $f (build the Windows targets first)" >&2; exit 2; }
done
for tool in wine winepath ffmpeg ffprobe mediainfo unzip iconv wixl msiinfo msibuild file strings; do
    command -v "$tool" >/dev/null || { echo "missing '$tool'" >&2; exit 2; }
done
[[ -n ${DISPLAY:-} ]] || { echo "DISPLAY is not set (run through cmake/with-xvfb.sh)" >&2; exit 2; }
# Wine turns the Unix arguments into UTF-16 by the locale: non-Latin paths need UTF-8.
export LC_ALL=C.UTF-8

kv_wine_prefix_ready
kv_io_dir
mkdir -p "$E2E"

# ---- media ------------------------------------------------------------------------------

"$ROOT/tests/make_media.sh" "$BUILD/media" || { echo "cannot make the test media" >&2; exit 2; }
MEDIA=$E2E/media
MEDIA_VERSION=3 # raise when the files below change
if [[ $(cat "$MEDIA/.complete" 2>/dev/null) != "$MEDIA_VERSION" ]]; then
    rm -rf "$MEDIA"
    mkdir -p "$MEDIA"
    ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
    tone() { echo "sine=frequency=$1:sample_rate=$2:duration=$3"; }
    cp "$BUILD/media/aac_mono_48k.mp4" "$MEDIA/Лекция 1 — звук.mp4"
    cp "$BUILD/media/aac_stereo_video.mp4" "$MEDIA/two words.mp4"
    # Four minutes of sound: a file the user would call long.
    ff -f lavfi -i "$(tone 440 44100 240)" -c:a aac -b:a 96k "$MEDIA/long_240s.mp4"
    # Fifteen minutes, cheap to make and long enough to close the program mid-way.
    ff -f lavfi -i "$(tone 330 8000 900)" -ac 1 -c:a aac -b:a 16k "$MEDIA/long_900s.mp4"
    # Two audio tracks of different rates.
    ff -f lavfi -i "$(tone 440 44100 3)" -f lavfi -i "$(tone 880 22050 3)" -map 0:a -map 1:a \
        -c:a aac -b:a 64k "$MEDIA/two_tracks.mp4"
    # Fragmented: an empty index in front, the samples in movie fragments.
    ff -f lavfi -i "$(tone 440 44100 3)" -c:a aac -b:a 64k \
        -movflags frag_keyframe+empty_moov+default_base_moof -frag_duration 500000 "$MEDIA/fragmented.mp4"
    # Longer than a day, made cheaply: an hour of silence at a very low rate, joined 25 times.
    ff -f lavfi -i "anullsrc=r=8000:cl=mono" -t 3600 -c:a aac -b:a 8k "$MEDIA/hour.mp4"
    for _ in $(seq 25); do echo "file 'hour.mp4'"; done >"$MEDIA/day.txt"
    ff -f concat -safe 0 -i "$MEDIA/day.txt" -c copy "$MEDIA/day_long.mp4"
    rm "$MEDIA/hour.mp4" "$MEDIA/day.txt"
    # Short tones: one to share a name with another file, one for the many-files run.
    ff -f lavfi -i "$(tone 600 44100 5)" -c:a aac -b:a 64k "$MEDIA/tone_5s.mp4"
    ff -f lavfi -i "$(tone 700 44100 1)" -c:a aac -b:a 64k "$MEDIA/one_second.mp4"
    # Tags that read like the transcoder's own report, in a file whose sound is whole.
    ff -f lavfi -i "$(tone 500 44100 8)" -c:a aac -b:a 64k \
        -metadata comment="Duration: 00:00:01.00 time=00:00:08.00" \
        -metadata title=$'x\n  Duration: 00:00:01.00, start: 0.000000' "$MEDIA/tagged.mp4"
    # Sound shorter than the picture: 5 s of sound in 8 s of video.
    ff -f lavfi -i "$(tone 550 44100 5)" -f lavfi -i "testsrc=size=96x72:rate=5:duration=8" \
        -c:a aac -b:a 64k -c:v mpeg4 "$MEDIA/short_sound.mp4"
    # The same tagged file cut at half, index in front: the transcoder reads to the cut.
    ff -f lavfi -i "$(tone 500 44100 30)" -c:a aac -b:a 128k -movflags +faststart \
        -metadata comment="Duration: 00:00:01.00 time=00:00:30.00" "$MEDIA/tagged_whole.mp4"
    head -c $(($(stat -c %s "$MEDIA/tagged_whole.mp4") / 2)) "$MEDIA/tagged_whole.mp4" >"$MEDIA/tagged_cut.mp4"
    rm "$MEDIA/tagged_whole.mp4"
    echo "$MEDIA_VERSION" >"$MEDIA/.complete"
fi

# A crashing program would wait for a debugger that never comes: let it end instead.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f \
    >/dev/null 2>&1

if [[ $MODE == setup ]]; then
    kv_hold_desktop 7200 "$HOLDER_PID"
    : >"$SUMMARY"
    echo "e2e: media in $E2E/media, desktop holder $(cat "$HOLDER_PID")"
    exit 0
fi
# The fixture's holder when ctest runs the scenarios, else one of this run's own.
kv_holder_alive "$HOLDER_PID" || kv_hold_desktop 3600

RUN=$E2E/run/$(IFS=-; echo "${SCENARIOS[*]}")
rm -rf "$RUN"
mkdir -p "$RUN"
LOG=$RUN/korvello.log
START=$SECONDS

PASSED=0
FAILED=0
SKIPPED=()
pass() { echo "PASS: $1"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: $1${2:+ -- $2}"; FAILED=$((FAILED + 1)); }
# Only for a fault this machine cannot make at all; the summary names each one.
skip() { echo "SKIP: $1${2:+ -- $2}"; SKIPPED+=("$1${2:+ ($2)}"); }
quiet() { "$@" >/dev/null; }
check() { # name detail command...
    local name=$1 detail=$2
    shift 2
    if "$@"; then pass "$name"; else fail "$name" "$detail"; fi
}

reg_value() { # name -> data of HKCU\Software\Korvello\name, or nothing
    wrun reg query 'HKCU\Software\Korvello' /v "$1" 2>/dev/null |
        awk -v n="$1" '$1 == n && $2 == "REG_SZ" { sub(/^[ \t]*[^ \t]+[ \t]+REG_SZ[ \t]+/, ""); print; exit }'
}

# ---- the program's process ------------------------------------------------------------

OPID=
kv_at_exit kv_kill_korvello
kv_at_exit '[[ -n $OPID ]] && kill -9 "$OPID" 2>/dev/null; true'

# Each scenario starts without settings and without a running copy.
fresh_state() {
    wine reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
    # The windows of a copy that has just ended may outlive its process for a moment under Wine.
    for _ in $(seq 1 50); do
        [[ $(drive count-instances) == 0 ]] && return 0
        sleep 0.2
    done
    echo "a Korvello is already running in $WINEPREFIX" >&2
    exit 2
}
# What other programs on the desktop do (tests/helpers/kv_outside.cpp).
outside() { kv_wrun "$BUILD/kv_outside.exe" "$@"; }
set_workdir() { wine reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$1")" /f >/dev/null 2>&1; }

# Nothing the tests hand to the program may be changed or deleted by it.
media_fingerprint() { find "$BUILD/media" "$MEDIA" -type f -printf '%s %p\n' | sort | md5sum; }
MEDIA_FINGERPRINT=$(media_fingerprint)

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
    [[ -d $TOOLS_SRC ]] || return 1
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

# ---- results ------------------------------------------------------------------------------

# The rows once there are at least `count` of them, or after `seconds`.
wait_rows() { # count seconds
    local rows n
    for ((n = 0; n < $2 * 4; n++)); do
        rows=$(drive rows)
        (($(grep -c . <<<"$rows") >= $1)) && break
        sleep 0.25
    done
    printf '%s\n' "$rows"
}
row_of() { grep -F -- "$(printf '\t%s\t' "$1")" <<<"$2"; } # name rows
duration_of_input() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
# MP3 sound comes in frames of 1152 samples (26 ms): the encoder's delay, the
# padded last frame and an MP3 input's own delay add up to three frames, more
# than 1 % of a short file.
close_enough() { # seconds-in milliseconds-out
    awk -v a="$1" -v b="$2" 'BEGIN { a *= 1000; d = a - b; if (d < 0) d = -d; tol = a / 100; if (tol < 80) tol = 80; exit !(a > 0 && d <= tol) }'
}
mp3_format() { mediainfo --Inform='Audio;%Format% %SamplingRate% %Channel(s)% %BitRate% %BitRate_Mode%' "$1"; }
# A row that reads Done with MP3, and its MP3: 44100 Hz stereo 128 kbit/s, as long as the input.
check_converted() { # name rows mp3 input
    local name=$1 row mp3=$3 input=$4 info din dout
    row=$(row_of "$name" "$2")
    check "$name: row reads Done with MP3" "row: $row" [ "$row" = "$(printf 'MP4\t%s\tDone\tMP3\tX' "$name")" ]
    if [[ ! -s $mp3 ]]; then
        fail "$name: MP3 written" "missing $mp3"
        return
    fi
    info=$(mp3_format "$mp3")
    check "$name: MP3 is 44100 Hz, 2 channels, 128 kbit/s CBR" "got '$info'" [ "$info" = "MPEG Audio 44100 2 128000 CBR" ]
    din=$(duration_of_input "$input")
    dout=$(mediainfo --Inform='Audio;%Duration%' "$mp3")
    check "$name: MP3 lasts as long as the input" "input ${din} s, MP3 ${dout} ms" close_enough "$din" "$dout"
}
check_failed() { # name rows
    local row
    row=$(row_of "$1" "$2")
    check "$1: row reads Failed" "row: $row" [ "$row" = "$(printf 'MP4\t%s\tFailed\t\tX' "$1")" ]
}
# Not busy: "Add MP4 File" does nothing while the window is busy, so an answer
# to adding a file proves it free: a new pending row, or, where adding cannot
# succeed, the same message box as before.
check_takes_files() { # name file expected-answer
    local said rc
    said=$(drive add-file "$(winpath "$2")")
    rc=$?
    check "$1" "code $rc: $said" [ "$said" = "$3" ]
}
check_not_busy() { # name
    check_takes_files "$1" "$BUILD/media/aac_mono_48k.mp4" "$(printf 'MP4\taac_mono_48k\tPending\t\tX')"
}

# ---- one run: add, convert, wait, check ---------------------------------------------------

# Ways to add files for convert_and_check: one "Add MP4 File" call for them all,
# or one call a file that stops at the first failure.
add_files() { # path...
    local f paths=()
    for f; do paths+=("$(winpath "$f")"); done
    drive add-file "${paths[@]}" >/dev/null
}
add_each() { # path...
    local f
    for f; do drive add-file "$(winpath "$f")" >/dev/null || return 1; done
}
press_convert() { drive convert >/dev/null; }

# A user is locked out of a folder by its mode bits. Root writes anywhere
# whatever the mode bits; the immutable flag holds even for root but needs
# CAP_LINUX_IMMUTABLE. Root without it (some containers) has no lock that
# holds, and only there may this case be skipped.
LOCKED_HOW=
lock_folder() { # folder
    if [[ $(id -u) != 0 ]]; then
        chmod a-w "$1" && LOCKED_HOW=mode
    else
        chattr +i "$1" 2>/dev/null && LOCKED_HOW=immutable
    fi
}
unlock_folder() { # folder
    case $LOCKED_HOW in
        mode) chmod u+w "$1" ;;
        immutable) chattr -i "$1" ;;
    esac
    LOCKED_HOW=
}
refuses_new_files() { # folder
    if (: >"$1/lock probe") 2>/dev/null; then
        rm -f "$1/lock probe"
        return 1
    fi
}
may_lock_out_root() { # CAP_LINUX_IMMUTABLE (bit 9) in the effective set
    local caps
    caps=$(awk '$1 == "CapEff:" { print $2 }' /proc/self/status)
    (((0x${caps:-0} >> 9) & 1))
}

# The sequence of most scenarios: files added, the convert button pressed, the
# run waited for, then each file's row and MP3 checked. Leaves the rows the
# run ended with in $rows, the wait's code in $idle_rc and the seconds from the
# press to the end in $run_seconds, for the scenario's own checks.
# Each file is OUTCOME:PATH, OUTCOME one of
#   done    its row reads Done and its MP3, in the output folder under the
#           file's name, is good (check_converted)
#   failed  its row reads Failed (check_failed)
#   own     the scenario checks it itself (-c)
# Options, each a step that varies (COMMAND: the name of a function or command):
#   -a COMMAND  adds the files, given their paths (default add_files)
#   -A NAME     check NAME: adding succeeds
#   -p COMMAND  starts the run (default press_convert)
#   -P NAME     check NAME: starting succeeds
#   -d COMMAND  runs between the start and the wait: watching the run, interfering with it
#   -w SECONDS  the longest wait for the run's end (default 300)
#   -e NAME     check NAME: the run ends within that time
#   -o FOLDER   the output folder (default $OUT)
#   -c COMMAND  runs last: the scenario's own checks
# Its locals are prefixed cc_: the commands it runs see them.
convert_and_check() { # [options] OUTCOME:PATH...
    local cc_add=add_files cc_add_check='' cc_press=press_convert cc_press_check='' cc_during=: cc_wait=300 \
        cc_ends='' cc_out=${OUT:-} cc_checks=: cc_opt cc_cmd cc_file cc_name cc_start cc_paths=() OPTIND=1
    while getopts a:A:p:P:d:w:e:o:c: cc_opt; do
        case $cc_opt in
        a) cc_add=$OPTARG ;;
        A) cc_add_check=$OPTARG ;;
        p) cc_press=$OPTARG ;;
        P) cc_press_check=$OPTARG ;;
        d) cc_during=$OPTARG ;;
        w) cc_wait=$OPTARG ;;
        e) cc_ends=$OPTARG ;;
        o) cc_out=$OPTARG ;;
        c) cc_checks=$OPTARG ;;
        *) fail "convert_and_check: options as documented" "got: $*"; return 1 ;;
        esac
    done
    shift $((OPTIND - 1))
    # A misspelt step or outcome would skip its checks without a word.
    for cc_cmd in "$cc_add" "$cc_press" "$cc_during" "$cc_checks"; do
        type -t "$cc_cmd" >/dev/null || { fail "convert_and_check: every step exists" "no '$cc_cmd'"; return 1; }
    done
    for cc_file; do
        case ${cc_file%%:*} in
        done | failed | own) cc_paths+=("${cc_file#*:}") ;;
        *) fail "convert_and_check: each outcome is done, failed or own" "'$cc_file'"; return 1 ;;
        esac
    done

    if [[ -n $cc_add_check ]]; then
        check "$cc_add_check" "" "$cc_add" "${cc_paths[@]}"
    else
        "$cc_add" "${cc_paths[@]}"
    fi
    cc_start=$SECONDS
    if [[ -n $cc_press_check ]]; then check "$cc_press_check" "" "$cc_press"; else "$cc_press"; fi
    "$cc_during"
    rows=$(drive wait-idle "$cc_wait")
    idle_rc=$?
    # shellcheck disable=SC2034 # for the scenarios
    run_seconds=$((SECONDS - cc_start))
    [[ -z $cc_ends ]] || check "$cc_ends" "rows: $rows" [ "$idle_rc" -eq 0 ]

    for cc_file; do
        cc_name=${cc_file#*:}
        cc_name=${cc_name##*/}
        cc_name=${cc_name%.mp4}
        case ${cc_file%%:*} in
        done) check_converted "$cc_name" "$rows" "$cc_out/$cc_name.mp3" "${cc_file#*:}" ;;
        failed) check_failed "$cc_name" "$rows" ;;
        esac
    done
    "$cc_checks"
}

for scenario in "${SCENARIOS[@]}"; do
    # shellcheck source=/dev/null
    source "$ROOT/tests/e2e/$scenario.sh"
done

check "the input files are all still there, unchanged in size" "" [ "$(media_fingerprint)" = "$MEDIA_FINGERPRINT" ]

{
    echo "e2e ${SCENARIOS[*]}: $PASSED passed, $FAILED failed, ${#SKIPPED[@]} skipped, $((SECONDS - START)) s"
    for s in "${SKIPPED[@]}"; do echo "  skipped: $s"; done
} | tee -a "$SUMMARY"
[[ -f $E2E/window.png ]] && echo "screenshot: $E2E/window.png"
((FAILED == 0))
