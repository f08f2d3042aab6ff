# shellcheck shell=bash
# Where the MP3s go and how a run ends: beside each source from Add Folder, a
# drop and Explorer's entry; a tree of three levels mirrored below the output
# folder; the source's dates; transcoders below normal priority. Sourced by
# run_all.sh.

PL=$RUN/places
pmk() { ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=$1:sample_rate=44100:duration=$2" -c:a aac "$3"; }
mkdir -p "$PL/beside/one" "$PL/beside/two" "$PL/Trip/Day 1" "$PL/Trip/Day 2/Evening" "$PL/dated"
pmk 440 3 "$PL/beside/one/a.mp4"
pmk 470 3 "$PL/beside/one/b.m4a"
pmk 500 3 "$PL/beside/two/dropped.mp4"
pmk 530 3 "$PL/beside/two/handed.mp4"
pmk 560 2 "$PL/Trip/clip.mp4"
pmk 590 2 "$PL/Trip/Day 1/clip.mp4"
pmk 620 2 "$PL/Trip/Day 2/clip.mp4"
pmk 650 2 "$PL/Trip/Day 2/Evening/late.mp4"
pmk 680 2 "$PL/dated/old.mp4"
touch -d '2019-07-14 09:30:00' "$PL/dated/old.mp4"
long_for() { pmk 300 "$1" "$2"; } # seconds file

reg_set() { wine reg add 'HKCU\Software\Korvello' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
no_mp3_in() { [ -z "$(find "$1" -name '*.mp3')" ]; }

echo "== beside each source: Add Folder, a drop, Explorer's entry"
fresh_state
OUT=$RUN/out-places-beside
set_workdir "$OUT"
reg_set OutputPlace REG_SZ beside
start_korvello
check "the output folder's box says where the MP3s go" "$(drive text Edit3)" [ "$(drive text Edit3)" = "Beside each source file" ]
quiet drive add-folder "$(winpath "$PL/beside/one")" 60
said=$(outside drop "$(winpath "$PL/beside/two/dropped.mp4")")
check "a file is dropped on the window" "$said" [ "$said" = DROPPED ]
rows=$(wait_rows 3 60)
press_convert
rows=$(drive wait-idle 300)
for f in one/a one/b two/dropped; do
    check "$f: its MP3 beside it" "$(ls "$PL/beside/${f%/*}")" [ -s "$PL/beside/$f.mp3" ]
done
wine "$EXE" /convert "$(winpath "$PL/beside/two/handed.mp4")" </dev/null >>"$LOG" 2>&1
rows=$(wait_rows 4 60)
quiet drive wait-running 60
rows=$(drive wait-idle 300)
check "handed.mp4 (Explorer's entry): its MP3 beside it" "rows: $rows" [ -s "$PL/beside/two/handed.mp3" ]
check "nothing went to the output folder" "$(ls -R "$OUT" 2>&1)" no_mp3_in "$OUT"

echo "== beside a source whose folder cannot be written"
mkdir -p "$PL/locked"
pmk 710 2 "$PL/locked/shut.mp4"
pmk 740 2 "$PL/beside/two/after.mp4"
quiet drive add-file "$(winpath "$PL/locked/shut.mp4")" "$(winpath "$PL/beside/two/after.mp4")"
if lock_folder "$PL/locked" && refuses_new_files "$PL/locked"; then
    press_convert
    rows=$(drive wait-idle 300)
    unlock_folder "$PL/locked"
    check_failed shut "$rows"
    check "the next row goes on" "rows: $rows" [ -s "$PL/beside/two/after.mp3" ]
    said=$(drive click-cell "$(($(grep -c . <<<"$rows") - 2))" 220)
    check "the row names its own folder, not the output folder" "said: $said" grep -q "own folder cannot be written" <<<"$said"
    check "nothing is left in the locked folder" "$(ls "$PL/locked")" [ "$(ls "$PL/locked")" = shut.mp4 ]
elif [[ $(id -u) == 0 ]] && ! may_lock_out_root; then
    unlock_folder "$PL/locked"
    skip "beside a source whose folder cannot be written" "root without CAP_LINUX_IMMUTABLE: no lock holds against it here"
else
    unlock_folder "$PL/locked"
    fail "the source folder is made unwritable" "neither the mode bits nor the immutable flag could be set"
fi
stop_korvello

echo "== a tree of three levels mirrored below the output folder"
fresh_state
OUT=$RUN/out-places-tree
set_workdir "$OUT"
reg_set AddSubfolders REG_DWORD 1
reg_set KeepDates REG_DWORD 1
start_korvello
quiet drive add-folder "$(winpath "$PL/Trip")" 60
quiet drive add-folder "$(winpath "$PL/dated")" 60
press_convert
rows=$(drive wait-idle 300)
for f in "Trip/clip" "Trip/Day 1/clip" "Trip/Day 2/clip" "Trip/Day 2/Evening/late" "dated/old"; do
    check "$f.mp3 in its place" "$(cd "$OUT" && find . -name '*.mp3' | sort | paste -sd' ')" [ -s "$OUT/$f.mp3" ]
done
check "two files of one name in different folders, neither numbered" "" \
    [ -z "$(find "$OUT" -name '*(2)*')" ]
check "old.mp3 has its source's modified time" "$(stat -c %y "$OUT/dated/old.mp3")" \
    [ "$(stat -c %Y "$OUT/dated/old.mp3")" = "$(stat -c %Y "$PL/dated/old.mp4")" ]
check "clip.mp3 was not given a date: it is a file of today" "" \
    [ "$(stat -c %Y "$OUT/Trip/clip.mp3")" -gt "$(date -d '1 day ago' +%s)" ]
stop_korvello

echo "== transcoders run below normal priority unless chosen otherwise"
long_for 900 "$PL/long.mp4"
for choice in below-normal normal; do
    fresh_state
    OUT=$RUN/out-places-priority-$choice
    set_workdir "$OUT"
    [[ $choice == normal ]] && reg_set Priority REG_SZ normal
    start_korvello
    quiet drive add-file "$(winpath "$PL/long.mp4")"
    press_convert
    quiet drive wait-running 60
    seen=$(drive priorities ffmpeg.exe | tr -d '\r' | sort -u | paste -sd' ')
    check "Priority $choice: the transcoder runs at $choice" "seen '$seen'" [ "$seen" = "$choice" ]
    quiet drive wait-idle 300
    stop_korvello
done
