# shellcheck shell=bash
# Hostile inputs: files the media reader cannot read, a file longer than a day,
# awkward containers, names full of characters that shells and batch files
# treat specially, and two files of the same name.
# Each ends in a message, a Done row with a good MP3, or a Failed row; the
# window never stays busy. Sourced by run_all.sh.

echo "== hostile inputs"
fresh_state
# Characters that mean something to cmd, to quoting rules or to printf-style formatting.
ODD="a&b^c!d'(e),f;g=h 100% %PATH% Ωмир 音楽 🎵"
OUT="$RUN/out $ODD"
mkdir -p "$OUT"
printf 'a file of the user\n' >"$OUT/keep me.txt"
cp "$MEDIA/tone_5s.mp4" "$OUT/already here.mp4"
set_workdir "$OUT"
start_korvello
check "the program starts with an output folder of odd characters" "got '$(drive text Edit3)'" \
    [ "$(drive text Edit3)" = "$(winpath "$OUT")" ]

# -- files the media reader cannot read: the single-file message, and no row.
BAD_HEADER=$'MESSAGE\tKorvello\tCannot process this file! Bad file header! Please use different file.'
for f in zero.mp4 text.mp4 no_index.mp4; do
    said=$(drive add-file "$(winpath "$BUILD/media/$f")")
    rc=$?
    check "$f: refused with the bad-header message" "code $rc: $said" [ "$rc" -eq 2 -a "$said" = "$BAD_HEADER" ]
done
# A recording of more than a day: its hours count on past 24, so it is added
# like any other (converting 25 hours is left out: the row is removed again).
said=$(drive add-file "$(winpath "$MEDIA/day_long.mp4")")
rc=$?
check "a file of 25 hours is added" "code $rc: $said" [ "$rc" -eq 0 -a "$said" = $'MP4\tday_long\tPending\t\tX' ]
drive click-cell 0 430 >/dev/null
check "refused files add no row" "rows: $(drive rows)" [ -z "$(drive rows)" ]
check_not_busy "the window takes files after the refusals"

# -- a name the batch file cannot carry even by its short form ("%" stays in it),
# on the C: drive where Wine makes short names: through "Add MP4 File" and "Add Folder".
CODD="$WINEPREFIX/drive_c/in/odd"
rm -rf "$CODD"
mkdir -p "$CODD"
cp "$BUILD/media/aac_mono_48k.mp4" "$CODD/a b%c&d^e!f'(g).mp4"
rows_before=$(drive rows)
said=$(drive add-file "C:\\in\\odd\\a b%c&d^e!f'(g).mp4")
rc=$?
check "a %-name on C: is added through Add MP4 File" "code $rc: $said" \
    [ "$rc" -eq 0 -a "$said" = $'MP4\ta b%c&d^e!f\'(g)\tPending\t\tX' ]
said=$(drive add-folder 'C:\in\odd' 60)
rc=$?
check "a %-name on C: is added through Add Folder" "code $rc: $said" \
    [ "$rc" -eq 0 -a "$said" = $'MP4\ta b%c&d^e!f\'(g)\tPending\t\tX' ]
# Their DEL cells take them away again, the last row first.
n=$(drive rows | grep -c .)
drive click-cell $((n - 1)) 430 >/dev/null
drive click-cell $((n - 2)) 430 >/dev/null
check "the %-name rows are removed by their DEL cells" "rows: $(drive rows)" [ "$(drive rows)" = "$rows_before" ]
rm -rf "$WINEPREFIX/drive_c/in"

# -- a folder with an unreadable file: the folder message names it, and adding stops there.
STOPS="$RUN/stops here"
mkdir -p "$STOPS"
cp "$BUILD/media/aac_mono_48k.mp4" "$STOPS/good one.mp4"
cp "$BUILD/media/aac_51.mp4" "$STOPS/good two.mp4"
cp "$BUILD/media/text.mp4" "$STOPS/not a video.mp4"
# Listed after the unreadable file (Wine lists by name): a folder command that
# went on past it would give this one a row.
cp "$BUILD/media/aac_mono_48k.mp4" "$STOPS/other one.mp4"
rows_before=$(drive rows)
said=$(drive add-folder "$(winpath "$STOPS")" 60)
rc=$?
message=$(grep '^MESSAGE' <<<"$said")
check "the folder's unreadable file is named in the folder message" "code $rc: $said" \
    [ "$rc" -eq 2 -a "$message" = $'MESSAGE\tKorvello\tCannot process file not a video.mp4 Bad file header or bad characters in filename! Please use different file.' ]
# The files the folder listing gives before the unreadable one keep their rows,
# in that order, and none after it gets one (the listing must have one after it).
listed=$(drive list-files "$(winpath "$STOPS")\*.mp4")
expected_new=$(while read -r f; do
    [[ $f == "not a video.mp4" ]] && break
    printf 'MP4\t%s\tPending\t\tX\n' "${f%.mp4}"
done <<<"$listed")
stops_at_unreadable() {
    sed -n '/^not a video\.mp4$/,$p' <<<"$listed" | tail -n +2 | grep -q . &&
        [ "$(drive rows)" = "$(printf '%s\n%s' "$rows_before" "$expected_new" | grep .)" ]
}
check "adding stops at the unreadable file" "listed: $(tr '\n' '|' <<<"$listed") rows: $(drive rows)" \
    stops_at_unreadable

# -- a folder of odd names and odd containers, through "Add Folder".
IN="$RUN/in $ODD"
mkdir -p "$IN"
declare -A SOURCE=(
    ["a b&c^!'(),;=x"]=$BUILD/media/aac_mono_48k.mp4
    ["100% sure %PATH% %%"]=$BUILD/media/aac_stereo_video.mp4
    ["音楽 🎵 ♫ Ωмир"]=$BUILD/media/mp3_in_mp4.mp4
    ["two audio tracks"]=$MEDIA/two_tracks.mp4
    ["fragmented"]=$MEDIA/fragmented.mp4
    ["already here"]=$BUILD/media/aac_51.mp4
)
BROKEN=("video only" "cut short")
cp "$BUILD/media/video_only.mp4" "$IN/video only.mp4"
cp "$BUILD/media/truncated.mp4" "$IN/cut short.mp4"
for name in "${!SOURCE[@]}"; do cp "${SOURCE[$name]}" "$IN/$name.mp4"; done
# Names of no kind the program takes (an MP3 is never a source, whatever it
# holds): the folder command leaves them alone.
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/sound.mp3"
printf 'a list\r\n' >"$IN/notes.txt"
mkdir -p "$IN/sub folder"
cp "$BUILD/media/aac_mono_48k.mp4" "$IN/sub folder/nested.mp4"

# The folder through "Add Folder"; then, from elsewhere, a file of a name one
# of the folder's files has: the later one may not overwrite the earlier one's MP3.
mkdir -p "$RUN/elsewhere"
cp "$MEDIA/tone_5s.mp4" "$RUN/elsewhere/two audio tracks.mp4"
add_folder_then_namesake() {
    added=$(drive add-folder "$(winpath "$IN")" 120)
    rc=$?
    check "the folder is added without a message" "code $rc: $added" [ "$rc" -eq 0 ]
    check "the folder shows in its box" "got '$(drive text Edit2)'" [ "$(drive text Edit2)" = "$(winpath "$IN")" ]
    expected=$(for name in "${!SOURCE[@]}" "${BROKEN[@]}"; do printf 'MP4\t%s\tPending\t\tX\n' "$name"; done | sort)
    check "each video or audio file of the folder, and nothing else, gets a pending row" "rows: $added" \
        [ "$(sort <<<"$added")" = "$expected" ]

    check "a second file of the same name is added" "" \
        quiet drive add-file "$(winpath "$RUN/elsewhere/two audio tracks.mp4")"
    SAME=$(drive rows | grep -c $'\ttwo audio tracks\t')
    check "both files of that name have a row" "$SAME rows" [ "$SAME" = 2 ]
}
check_shared_name() {
    check "a file of two audio tracks gives an MP3" "" \
        [ "$(mp3_format "$OUT/two audio tracks.mp3")" = "MPEG Audio 44100 2 128000 CBR" ]
    local earlier_ms
    earlier_ms=$(mediainfo --Inform='Audio;%Duration%' "$OUT/two audio tracks.mp3")
    check "the earlier file of a shared name keeps its MP3" "$earlier_ms ms" \
        close_enough "$(duration_of_input "$MEDIA/two_tracks.mp4")" "$earlier_ms"
    check "the later file of a shared name gets a numbered MP3" "" \
        close_enough 5 "$(mediainfo --Inform='Audio;%Duration%' "$OUT/two audio tracks (2).mp3")"
    check "other files in the output folder are left alone" "" \
        [ "$(cat "$OUT/keep me.txt")" = "a file of the user" -a -s "$OUT/already here.mp4" ]
    check "files of subfolders are not converted" "" [ ! -e "$OUT/nested.mp3" ]
    check_not_busy "the window is free again after the run"
}
# Each file of the folder is a copy of its source, under the name the list shows.
files=()
for name in "${!SOURCE[@]}"; do
    if [[ $name == "two audio tracks" ]]; then files+=("own:$IN/$name.mp4"); else files+=("done:$IN/$name.mp4"); fi
done
for name in "${BROKEN[@]}"; do files+=("failed:$IN/$name.mp4"); done
convert_and_check -a add_folder_then_namesake -P "the convert button starts the run" -w 600 -e "the run ends" \
    -c check_shared_name "${files[@]}"
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]


# -- run from a Downloads folder that holds DLLs named as the system's: none is
# ever loaded. Wine prefers its own DLLs, so it is told to take a file beside
# the program first, as Windows' search order would. The names are those the
# program loads itself; version.dll and uxtheme.dll are left out: Wine's own
# DLLs load them by name, before or beside the program's code (its graphics
# driver loads the theme library), under that same instruction.
DOWN="$RUN/Downloads"
rm -rf "$DOWN"
mkdir -p "$DOWN"
cp "$EXE" "$DOWN/korvello.exe"
PLANTED=(oleacc dwmapi propsys winmm cryptbase userenv)
for d in "${PLANTED[@]}"; do cp "$BUILD/planted.dll" "$DOWN/$d.dll"; done
SAVED_EXE=$EXE
EXE="$DOWN/korvello.exe"
overrides=$(IFS=,; echo "${PLANTED[*]}")
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$overrides=n,b" start_korvello
check "the program starts beside planted DLLs" "" [ -n "$KPID" ]
check "it takes a file there" "" quiet drive add-file "$(winpath "$MEDIA/tone_5s.mp4")"
loaded=$(cd "$DOWN" && ls ./*.loaded 2>/dev/null | tr '\n' ' ')
check "no DLL beside the program is loaded" "loaded: $loaded" [ -z "$loaded" ]
stop_korvello
EXE=$SAVED_EXE
