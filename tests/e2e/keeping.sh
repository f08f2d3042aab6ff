# shellcheck shell=bash
# Nothing a user has is replaced or lost: output names as the volume compares
# them (Unicode case twins, 8.3 aliases, names at the length limit), an input
# that is its own output, an MP3 that appears while the run goes, real
# transcodes made hostile (tags that read like the transcoder's report, files
# cut short, a transcoder ended with code 0, sound shorter than the picture),
# and the program killed mid-run. Sourced by run_all.sh.

set_choice() { # name type data
    wine reg add 'HKCU\Software\Korvello' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
}
sound_seconds() { ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$1"; }
mp3_ms() { mediainfo --Inform='Audio;%Duration%' "$1"; }
# A new output folder for the next case, with no settings and no running copy.
fresh_out() { # name
    fresh_state
    OUT=$RUN/$1
    mkdir -p "$OUT"
    set_workdir "$OUT"
}
parts_in() { find "$1" -name '*.korvello-part' | wc -l; }
transcoders_running() { pgrep -f 'ffmpeg\.exe' | wc -l; }
# The row of a name, Done, and its MP3 as long as the input's sound.
check_sound_kept() { # name rows mp3 input
    local row
    row=$(row_of "$1" "$2")
    check "$1: row reads Done" "row: $row" [ "$(cut -f3 <<<"$row")" = Done ]
    check "$1: its MP3 lasts as long as the sound" "sound $(sound_seconds "$4") s, MP3 $(mp3_ms "$3") ms" \
        close_enough "$(sound_seconds "$4")" "$(mp3_ms "$3")"
}

echo "== names as the volume compares them"
fresh_state
OUT=$RUN/keep-names
IN=$RUN/keep-in
mkdir -p "$OUT" "$IN/A" "$IN/B" "$IN/L" "$IN/S" "$IN/N1" "$IN/N2"
set_workdir "$OUT"
cp "$MEDIA/tone_5s.mp4" "$IN/A/Été.mp4"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/B/été.mp4"
# The alias the volume gives a long name, read off a file of that name in the output folder.
LONG="a rather long name of a song"
: >"$OUT/$LONG.mp3"
ALIAS=$(outside short-name "$(winpath "$OUT/$LONG.mp3")" | tr -d '\r')
rm -f "$OUT/$LONG.mp3"
ALIAS_STEM=$(basename "${ALIAS//\\//}" .MP3)
ALIAS_STEM=${ALIAS_STEM%.mp3}
cp "$MEDIA/tone_5s.mp4" "$IN/L/$LONG.mp4"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/S/$ALIAS_STEM.mp4"
# Names of 251 and 255 units; the longer one twice, from two folders.
N251=$(printf 'n%.0s' $(seq 247))
N255=$(printf 'm%.0s' $(seq 251))
cp "$MEDIA/one_second.mp4" "$IN/N1/$N251.mp4"
cp "$MEDIA/one_second.mp4" "$IN/N1/$N255.mp4"
cp "$MEDIA/tone_5s.mp4" "$IN/N2/$N255.mp4"
start_korvello
# Dropped together: a path past 260 units goes through no file dialog.
drop_seven() { # path...
    local f drop=()
    for f; do drop+=("$(winpath "$f")"); done
    said=$(outside drop "${drop[@]}")
    rows=$(wait_rows 7 60)
    check "the seven dropped files are added" "said: $said, rows: $rows" [ "$(grep -c $'\tPending\t' <<<"$rows")" = 7 ]
}
check_names_kept() {
    check "every row is Done" "rows: $rows" [ "$(grep -c $'\tDone\t' <<<"$rows")" = 7 ]
    check "Unicode case twins give two MP3s" "$(ls "$OUT" | grep -i 't.\.mp3\|t. (2)' | tr '\n' '|')" \
        [ -s "$OUT/Été.mp3" -a -s "$OUT/été (2).mp3" ]
    check "the first twin's MP3 is its own" "" close_enough 5 "$(mp3_ms "$OUT/Été.mp3")"
    if [[ -n $ALIAS_STEM && $ALIAS_STEM == *"~"* ]]; then
        check "a name spelt as another file's alias gets a name of its own" "$(ls "$OUT" | tr '\n' '|')" \
            [ -s "$OUT/$ALIAS_STEM (2).mp3" ]
        check "and leaves the long-named MP3 as it was written" "" close_enough 5 "$(mp3_ms "$OUT/$LONG.mp3")"
    else
        skip "8.3 aliases" "the volume gave '$LONG' no short name ('$ALIAS')"
    fi
    check "a 251-unit name keeps its name" "" [ -s "$OUT/$N251.mp3" ]
    check "a 255-unit name keeps its name" "" close_enough 1 "$(mp3_ms "$OUT/$N255.mp3")"
    SECOND=$(find "$OUT" -name 'm*(2).mp3' -printf '%f\n')
    check "its twin's numbered name is shortened to fit" "got '${SECOND:0:20}...' (${#SECOND} units)" \
        [ "${#SECOND}" -le 255 -a "${SECOND: -8}" = " (2).mp3" ]
    check "no temporary file is left" "" [ "$(parts_in "$OUT")" = 0 ]
}
convert_and_check -a drop_seven -w 600 -c check_names_kept "own:$IN/A/Été.mp4" "own:$IN/B/été.mp4" \
    "own:$IN/L/$LONG.mp4" "own:$IN/S/$ALIAS_STEM.mp4" "own:$IN/N1/$N251.mp4" "own:$IN/N1/$N255.mp4" \
    "own:$IN/N2/$N255.mp4"
stop_korvello

echo "== an input that is its own output"
fresh_out keep-self
cp "$MEDIA/tone_5s.mp4" "$OUT/song.mp4"
ln "$OUT/song.mp4" "$OUT/song.mp3"  # one file under both names
BEFORE=$(md5sum <"$OUT/song.mp4")
start_korvello
# The video, then the same file under its MP3 name.
add_video_then_mp3() { # video
    check "the video in the output folder is added" "" quiet drive add-file "$(winpath "$1")"
    said=$(drive add-file "$(winpath "$OUT/song.mp3")")
    check "the file dialog takes MP4 files only" "said: $said" [ "${said%%$'\t'*}" = MESSAGE ]
}
check_self_refused() {
    check "the row is refused" "rows: $rows" [ "$(row_of song "$rows" | cut -f3)" = Failed ]
    check "the user's file is untouched" "" [ "$(md5sum <"$OUT/song.mp4")" = "$BEFORE" ]
}
convert_and_check -a add_video_then_mp3 -w 120 -c check_self_refused "own:$OUT/song.mp4"
stop_korvello

echo "== an MP3 that appears while the run goes"
mp3_appears() {
    check "$how: the conversion is under way" "" quiet drive wait-running 60
    printf 'restored by a sync client' >"$OUT/long_900s.mp3"
}
check_appeared_kept() {
    check "$how: the file that appeared is untouched" "" [ "$(cat "$OUT/long_900s.mp3")" = 'restored by a sync client' ]
    if [[ $how == skip ]]; then
        check "skip: the row reads Skipped" "rows: $rows" [ "$(row_of long_900s "$rows" | cut -f3)" = Skipped ]
        check "skip: nothing else is written" "$(ls "$OUT")" [ "$(ls "$OUT" | wc -l)" = 1 ]
    else
        check_sound_kept long_900s "$rows" "$OUT/long_900s (2).mp3" "$MEDIA/long_900s.mp4"
    fi
}
for how in keep-both skip; do
    fresh_out "keep-appears-$how"
    set_choice WhenMp3Exists REG_SZ "$how"
    start_korvello
    convert_and_check -d mp3_appears -w 600 -c check_appeared_kept "own:$MEDIA/long_900s.mp4"
    stop_korvello
done

echo "== real transcodes made hostile"
fresh_out keep-hostile
for n in tagged_cut truncated cut_60s long_900s; do printf 'an older MP3' >"$OUT/$n.mp3"; done
start_korvello
add_each_checked() { # path...
    local f
    for f; do check "$(basename "$f") is added" "" quiet drive add-file "$(winpath "$f")"; done
}
check_cut_kept() {
    check_sound_kept tagged "$rows" "$OUT/tagged.mp3" "$MEDIA/tagged.mp4"
    check_sound_kept short_sound "$rows" "$OUT/short_sound.mp3" "$MEDIA/short_sound.mp4"
    for n in tagged_cut truncated cut_60s; do
        check "$n: the older MP3 is untouched" "" [ "$(cat "$OUT/$n.mp3")" = 'an older MP3' ]
    done
}
convert_and_check -a add_each_checked -c check_cut_kept "own:$MEDIA/tagged.mp4" "own:$MEDIA/short_sound.mp4" \
    "failed:$MEDIA/tagged_cut.mp4" "failed:$BUILD/media/truncated.mp4" "failed:$BUILD/media/cut_60s.mp4"
# A transcoder ended from outside with code 0, as End task may end it.
end_transcoder() {
    check "a long file is under way" "" quiet drive wait-running 60
    sleep 1
    check "its transcoder is ended with code 0" "" quiet drive end-child ffmpeg.exe 0
}
check_older_kept() {
    check "long_900s: the older MP3 is untouched" "" [ "$(cat "$OUT/long_900s.mp3")" = 'an older MP3' ]
    check "no temporary file is left" "" [ "$(parts_in "$OUT")" = 0 ]
}
convert_and_check -d end_transcoder -w 120 -c check_older_kept "failed:$MEDIA/long_900s.mp4"
stop_korvello

echo "== the program killed mid-run"
fresh_out keep-killed
printf 'an older MP3' >"$OUT/long_900s.mp3"
start_korvello
quiet drive add-file "$(winpath "$MEDIA/long_900s.mp4")"
drive convert >/dev/null
check "the conversion is under way" "" quiet drive wait-running 60
sleep 1
kill -9 "$KPID"
wait "$KPID" 2>/dev/null
KPID=
for _ in $(seq 1 50); do
    (($(transcoders_running) == 0)) && break
    sleep 0.2
done
check "no transcoder outlives the program" "$(transcoders_running) running" [ "$(transcoders_running)" = 0 ]
check "the older MP3 is untouched" "" [ "$(cat "$OUT/long_900s.mp3")" = 'an older MP3' ]
check "the crash left its temporary file" "$(ls "$OUT" | tr '\n' '|')" [ "$(parts_in "$OUT")" = 1 ]
for _ in $(seq 1 50); do
    [[ $(drive count-instances) == 0 ]] && break
    sleep 0.2
done
start_korvello
check "the next start leaves no temporary file" "$(ls "$OUT" | tr '\n' '|')" [ "$(parts_in "$OUT")" = 0 ]
check "and the older MP3 as it was" "" [ "$(cat "$OUT/long_900s.mp3")" = 'an older MP3' ]
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]
