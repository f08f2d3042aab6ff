# shellcheck shell=bash
# shellcheck disable=SC2154 # rows, idle_rc and run_seconds: set by convert_and_check (run_all.sh)
# First start, single instance, conversion of good and damaged files, and
# closing during a conversion. Sourced by run_all.sh.

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

# The list shows each file under its name without ".mp4".
GOOD=(
    "$BUILD/media/aac_stereo_video.mp4"
    "$BUILD/media/aac_mono_48k.mp4"
    "$BUILD/media/aac_51.mp4"
    "$MEDIA/long_240s.mp4"
    "$BUILD/media/mp3_in_mp4.mp4"
    "$MEDIA/Лекция 1 — звук.mp4"
    "$MEDIA/two words.mp4"
    "$BUILD/media/damaged_60s.mp4"
)
BAD=(
    "$BUILD/media/video_only.mp4"
    "$BUILD/media/truncated.mp4"
    "$BUILD/media/cut_60s.mp4"
)
# A video of 20 s whose sound stops after 8 s: a whole MP3 of 8 s, no failure.
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=160x120:rate=10:duration=20" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=8" -c:v mpeg4 -c:a aac -b:a 64k \
    "$RUN/short_sound.mp4"

refused_with_box() { [[ $refuse_rc -eq 2 && $refused == MESSAGE$'\t'Korvello$'\t'?* ]]; }
# Every file in one "Add MP4 File" call; then a file that is no video, which is
# refused with a message and adds no row.
add_all_then_refused() { # path...
    local f paths=() added add_rc expected_rows
    for f; do paths+=("$(winpath "$f")"); done
    added=$(drive add-file "${paths[@]}")
    add_rc=$?
    check "every file is accepted" "code $add_rc: $added" [ "$add_rc" -eq 0 ]
    expected_rows=$(for f; do printf 'MP4\t%s\tPending\t\tX\n' "$(basename "$f" .mp4)"; done)
    check "each added file gets a pending row" "rows: $(drive rows)" [ "$(drive rows)" = "$expected_rows" ]

    refused=$(drive add-file "$(winpath "$BUILD/media/zero.mp4")")
    refuse_rc=$?
    check "an unreadable file is refused with a message box" "code $refuse_rc: $refused" refused_with_box
    check "a refused file adds no row" "rows: $(drive rows)" [ "$(drive rows)" = "$expected_rows" ]
}
# A moment with rows Done and a percentage at once, and a picture of the window then.
shoot_progress() {
    if drive wait-progress 300 >/dev/null; then
        read -r wx wy ww wh < <(drive window-rect)
        if command -v import >/dev/null && [[ -n ${wh:-} ]]; then
            import -window root -crop "${ww}x${wh}+${wx}+${wy}" +repage "$E2E/window.png" 2>/dev/null
        fi
        pass "rows show Done and a percentage while the run goes on"
    else
        fail "rows show Done and a percentage while the run goes on" "$(drive rows)"
    fi
}
# A click on a failed row's progress says why, in words (the failed rows follow the good ones).
reason_says() { # row file-name words
    local said
    said=$(drive click-cell "$1" 220)
    [[ $said == MESSAGE$'\t'Korvello$'\t'"\"$2\" could not be converted."* && $said == *"$3"* ]] ||
        { echo "   said: $said"; return 1; }
}
check_short_and_reasons() {
    echo "   conversion of $((${#GOOD[@]} + ${#BAD[@]} + 1)) files: $run_seconds s"
    row=$(row_of short_sound "$rows")
    check "short_sound: a video longer than its sound converts as Done" "row: $row" \
        [ "$row" = $'MP4\tshort_sound\tDone\tMP3\tX' ]
    dout=$(mediainfo --Inform='Audio;%Duration%' "$OUT/short_sound.mp3")
    check "short_sound: the MP3 holds the 8 s of sound" "MP3 ${dout:-missing} ms" close_enough 8 "${dout:-0}"
    check "video_only: the reason names the missing audio track" "" \
        reason_says "${#GOOD[@]}" video_only.mp4 'no audio track'
    check "truncated: the reason says damaged or cut short" "" \
        reason_says "$((${#GOOD[@]} + 1))" truncated.mp4 'damaged or cut short'
    # A few damaged packets: the transcoder complains, yet the MP3 holds all the sound
    # (checked above); the same file cut at 60 % fails, with its reason.
    check "cut_60s: the reason says damaged or cut short" "" \
        reason_says "$((${#GOOD[@]} + 2))" cut_60s.mp4 'damaged or cut short'
    check "no temporary file is left in the output folder" "$(ls "$OUT" | grep -v '\.mp3$')" \
        [ -z "$(ls -A "$OUT" | grep -v '\.mp3$')" ]
    check "a failed row writes no MP3" "" [ ! -e "$OUT/cut_60s.mp3" -a ! -e "$OUT/truncated.mp3" ]
}
convert_and_check -a add_all_then_refused -P "the convert button starts the run" -d shoot_progress -w 600 \
    -e "the run ends" -c check_short_and_reasons \
    "${GOOD[@]/#/done:}" "${BAD[@]/#/failed:}" "own:$RUN/short_sound.mp4"
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
# An older MP3 of the running file's name: closing mid-run must leave it as it was.
mkdir -p "$OUT"
printf 'an older MP3' >"$OUT/long_900s.mp3"
drive add-file "$(winpath "$MEDIA/long_900s.mp4")" >/dev/null
drive convert >/dev/null
check "the conversion is under way" "rows: $(drive rows)" quiet drive wait-running 120
check "two ffmpeg.exe processes run" "$(drive count-processes ffmpeg.exe)" [ "$(drive count-processes ffmpeg.exe)" = 2 ]
drive close >/dev/null
kv_wait_pid "$KPID" 30
close_rc=$?
KPID=
check "closing mid-way ends the program with code 0" "code $close_rc" [ "$close_rc" -eq 0 ]
check_tools_gone "the tool files are deleted"
# The half-written file goes with the program: the folder is as it was.
left=$(ls -A "$OUT")
check "closing mid-way leaves the output folder as it was" "holds: $left" [ "$left" = long_900s.mp3 ]
check "the older MP3 of that name is untouched" "$(head -c 40 "$OUT/long_900s.mp3")" \
    [ "$(cat "$OUT/long_900s.mp3")" = 'an older MP3' ]
check "the program's own transcoder is ended" "$(drive count-processes ffmpeg.exe) left" \
    [ "$(drive count-processes ffmpeg.exe)" = 1 ]
check "the unrelated ffmpeg.exe still runs" "" kill -0 "$OPID"
kill "$OPID" 2>/dev/null
wait "$OPID" 2>/dev/null
OPID=


# ---- d. files from outside: the command line and a second start ---------------------------

echo "== files from outside"
fresh_state
OUT=$RUN/out-d
set_workdir "$OUT"
IN=$RUN/outside
LONGDIR=$IN/$(printf 'l%.0s' {1..150})/$(printf 'm%.0s' {1..120})
mkdir -p "$IN/Clips" "$LONGDIR"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/first.mp4"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/Clips/a.mp4"
cp "$BUILD/media/aac_stereo_video.mp4" "$IN/Clips/b.mp4"
echo "not a video" >"$IN/Clips/notes.txt"
cp "$BUILD/media/aac_stereo_video.mp4" "$LONGDIR/long one.mp4"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/Лекция 2 — звук.mp4"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/relative.mp4"
LONGFILE=$(winpath "$LONGDIR/long one.mp4")

names_of() { cut -f2 <<<"$1"; }
# A second start given paths: it must hand them over and end by itself. The
# third path is relative to the folder it is started in.
second_start() {
    (cd "$IN" && timeout 60 wine "$EXE" "$LONGFILE" "$(winpath "$IN/Лекция 2 — звук.mp4")" relative.mp4 \
        </dev/null >>"$LOG" 2>&1)
}

wine "$EXE" "$(winpath "$IN/first.mp4")" "$(winpath "$IN/Clips")" </dev/null >>"$LOG" 2>&1 &
KPID=$!
check "a first start with a file and a folder shows its window" "no window within 60 s" quiet drive wait-window 60
rows=$(wait_rows 3 60)
check "it adds the file, then the folder's MP4 files and nothing else" "rows: $rows" \
    [ "$(names_of "$rows" | head -1)" = first -a "$(names_of "$rows" | tail -n +2 | sort | tr '\n' ' ')" = "a b " ]
check "the added files are pending" "rows: $rows" [ "$(cut -f3 <<<"$rows" | sort -u)" = Pending ]

second_start
rc=$?
check "a second start with three paths ends by itself with code 0" "code $rc" [ "$rc" -eq 0 ]
check "one copy runs" "$(drive count-instances) copies" [ "$(drive count-instances)" = 1 ]
rows=$(wait_rows 6 60)
check "the idle copy adds a path over 300 characters, a Cyrillic one and a relative one" "rows: $rows" \
    [ "$(names_of "$rows" | tail -n 3 | tr '\n' '|')" = "long one|Лекция 2 — звук|relative|" ]

# While converting, handed-over paths wait for the end of the run.
hand_over_during_run() {
    check "the run is under way" "rows: $(drive rows)" quiet drive wait-running 120
    second_start
    rc=$?
    check "a second start during the run ends by itself with code 0" "code $rc" [ "$rc" -eq 0 ]
    during=$(drive rows)
    check "nothing is added while the run goes on" "rows: $during" \
        [ "$(grep -c . <<<"$during")" = 7 -a "$(row_of long_900s "$during" | cut -f3)" != Done ]
}
# The paths handed over come after the run, as rows of names the converted ones have too:
# those are checked among the first seven rows.
check_handed_over() {
    local handed
    rows=$(wait_rows 10 60)
    handed=$(tail -n 3 <<<"$rows" | cut -f2,3 | tr '\t\n' ':|')
    check "the paths handed over during the run are added after it, pending" "rows: $rows" \
        [ "$handed" = "long one:Pending|Лекция 2 — звук:Pending|relative:Pending|" ]
    rows=$(head -n 7 <<<"$rows")
    check_converted first "$rows" "$OUT/first.mp3" "$IN/first.mp4"
    check_converted "long one" "$rows" "$OUT/long one.mp3" "$LONGDIR/long one.mp4"
    check_converted "Лекция 2 — звук" "$rows" "$OUT/Лекция 2 — звук.mp3" "$IN/Лекция 2 — звук.mp4"
    check_converted relative "$rows" "$OUT/relative.mp3" "$IN/relative.mp4"
    check_converted long_900s "$rows" "$OUT/long_900s.mp3" "$MEDIA/long_900s.mp4"
}
convert_and_check -d hand_over_during_run -w 600 -e "the run ends" -c check_handed_over "own:$MEDIA/long_900s.mp4"
stop_korvello
close_rc=$?
check "the program ends with code 0" "code $close_rc" [ "$close_rc" -eq 0 ]

# ---- e. the keyboard alone ----------------------------------------------------------------

echo "== keyboard"
fresh_state
OUT=$RUN/out-e
set_workdir "$OUT"
start_korvello
check "the program starts" "no window within 60 s" [ $? -eq 0 ]
focus=$(drive keys tab)
check "Tab from the first button reaches Add Folder" "focus: $focus" [ "$focus" = $'Button\t384,115' ]
focus=$(drive keys shift+tab)
check "Shift+Tab goes back to Add MP4 File" "focus: $focus" [ "$focus" = $'Button\t384,77' ]
# Tabs reach the convert button, Esc there changes nothing, Enter presses it.
press_by_keyboard() {
    focus=$(drive keys tab tab tab tab)
    check "four Tabs from Add MP4 File reach the convert button" "focus: $focus" \
        [ "$focus" = $'KorvelloEzRgnBtn\t436,384' ]
    focus=$(drive keys esc)
    check "Esc changes nothing" "focus: $focus, rows: $(drive rows)" \
        [ "$focus" = $'KorvelloEzRgnBtn\t436,384' -a "$(drive rows)" = $'MP4\tfirst\tPending\t\tX' ]
    drive keys enter >/dev/null
}
check_enter_ran() {
    check "Enter on the convert button runs the conversion" "code $idle_rc, rows: $rows" [ "$idle_rc" -eq 0 ]
}
convert_and_check -p press_by_keyboard -w 120 -c check_enter_ran "done:$IN/first.mp4"
focus=$(drive keys tab tab tab tab tab)
check "Tab from convert goes round past minimize and close to Browse" "focus: $focus" \
    [ "$focus" = $'Button\t384,153' ]
stop_korvello
close_rc=$?
check "the program ends with code 0" "code $close_rc" [ "$close_rc" -eq 0 ]
