# shellcheck shell=bash
# shellcheck disable=SC2154 # rows: set by convert_and_check (run_all.sh)
# Every kind of video and audio file: a folder tree of them added by "Add
# Folder" with subfolders chosen, and files of three kinds handed over as
# Explorer's menu entry hands them; each MP3 holds its source's whole sound
# (the default track of several), chapters kept. With the choices, one MP3 per
# chapter and a cover from the video. Sourced by run_all.sh.

KIN=$RUN/kinds
mkdir -p "$KIN/Day 1"
kmk() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
ks() { echo "sine=frequency=$1:sample_rate=48000:duration=$2"; }
kv_=(-f lavfi -i "testsrc=size=160x120:rate=25:duration=4")
kmk -f lavfi -i "$(ks 440 4)" "${kv_[@]}" -c:a libvorbis -c:v mpeg4 "$KIN/film.mkv"
kmk -f lavfi -i "$(ks 470 4)" "${kv_[@]}" -c:a libopus -c:v libvpx -deadline realtime "$KIN/download.webm"
kmk -f lavfi -i "$(ks 500 4)" "${kv_[@]}" -c:a aac -c:v mpeg4 "$KIN/phone.mov"
kmk -f lavfi -i "$(ks 530 4)" -c:a aac "$KIN/song.m4a"
kmk -f lavfi -i "$(ks 560 4)" "${kv_[@]}" -c:a adpcm_ms -c:v mjpeg -pix_fmt yuvj420p "$KIN/camera.avi"
kmk -f lavfi -i "$(ks 590 4)" -c:a wmav2 "$KIN/voice.wma"
kmk -f lavfi -i "$(ks 620 4)" -c:a ac3 -f mpegts -mpegts_m2ts_mode 1 "$KIN/Day 1/cam.m2ts"
kmk -f lavfi -i "$(ks 650 4)" -c:a flac "$KIN/Day 1/tape.flac"
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2000\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\nEND=4000\ntitle=Two\n' >"$KIN/ch.txt"
kmk -f lavfi -i "$(ks 680 4)" -i "$KIN/ch.txt" -map 0 -map_chapters 1 -c:a aac -f ipod "$KIN/Day 1/book.m4b"
rm "$KIN/ch.txt"
kmk -f lavfi -i "$(ks 300 3)" -f lavfi -i "$(ks 900 2),pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -map 0 -map 1 \
    -c:a libvorbis -disposition:a:0 0 -disposition:a:1 default "$KIN/Day 1/tracks.mkv"
# Cut short: the reader still gives the length its header claims.
for f in film.mkv voice.wma; do head -c "$(($(stat -c %s "$KIN/$f") * 2 / 5))" "$KIN/$f" >"$KIN/cut ${f%.*}.${f##*.}"; done
printf 'not a video\r\n' >"$KIN/notes.txt"
kmk -f lavfi -i "$(ks 700 2)" -c:a libmp3lame "$KIN/already.mp3"

sound_of() { # file [stream] -> seconds of decoded sound
    kmk -i "$1" -map "0:${2:-a:0}" -c:a pcm_s16le -f wav "$KIN.wav" && ffprobe -v error -show_entries format=duration -of csv=p=0 "$KIN.wav"
}
near_50ms() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a > 0 && d <= 0.05) }'; }
check_kind() { # rows source-path type [stream]
    local name=${2##*/} stem row mp3 want got
    stem=${name%.*}
    row=$(row_of "$stem" "$1")
    check "$name: row reads $3, Done, MP3" "row: $row" [ "$row" = "$(printf '%s\t%s\tDone\tMP3\tX' "$3" "$stem")" ]
    mp3=$(find "$OUT" -name "$stem.mp3" | head -n 1)
    want=$(sound_of "$2" "${4:-a:0}") got=$([[ -n $mp3 ]] && sound_of "$mp3")
    check "$name: the MP3 holds its whole sound ($want s)" "got ${got:-no MP3}" near_50ms "${got:-0}" "${want:-0}"
}

echo "== a folder tree of every kind, subfolders chosen"
fresh_state
OUT=$RUN/out-kinds
set_workdir "$OUT"
wine reg add 'HKCU\Software\Korvello' /v AddSubfolders /t REG_DWORD /d 1 /f >/dev/null 2>&1
start_korvello
added=$(drive add-folder "$(winpath "$KIN")" 300)
check "twelve rows: neither the text file nor the MP3" "rows: $added" [ "$(grep -c $'\tPending\t' <<<"$added")" = 12 ]
check "the folder's files first, then its subfolder's" "rows: $(cut -f2 <<<"$added" | tr '\n' ' ')" \
    [ "$(cut -f2 <<<"$added" | tail -n 4 | sort | tr '\n' ' ')" = "book cam tape tracks " ]
press_convert
rows=$(drive wait-idle 300)
for k in film.mkv:MKV download.webm:WEBM phone.mov:MOV song.m4a:M4A camera.avi:AVI voice.wma:WMA \
    "Day 1/cam.m2ts:M2TS" "Day 1/tape.flac:FLAC" "Day 1/book.m4b:M4B"; do
    check_kind "$rows" "$KIN/${k%:*}" "${k##*:}"
done
check_kind "$rows" "$KIN/Day 1/tracks.mkv" MKV a:1
titles=$(ffprobe -v error -show_chapters -of csv=p=0 "$(find "$OUT" -name book.mp3 | head -n 1)" | awk -F, '{print $NF}' | paste -sd'|')
check "book.m4b: its chapters are the MP3's" "got '$titles'" [ "$titles" = "One|Two" ]
for k in "cut film:MKV" "cut voice:WMA"; do
    row=$(row_of "${k%:*}" "$rows")
    check "${k%:*}: a file cut short ends Failed" "row: $row" [ "$row" = "$(printf '%s\t%s\tFailed\t\tX' "${k##*:}" "${k%:*}")" ]
    check "${k%:*}: and leaves no MP3, whole or partial" "$(ls "$OUT")" [ -z "$(find "$OUT" -name "${k%:*}*")" ]
done
check "nothing was written beside the sources" "" [ -z "$(find "$KIN" -name '*.mp3' ! -name already.mp3)" ]
stop_korvello

echo "== three kinds handed over as Explorer's entry hands them"
fresh_state
OUT=$RUN/out-kinds-menu
set_workdir "$OUT"
STARTED=()
for f in film.mkv song.m4a voice.wma; do
    wine "$EXE" /convert "$(winpath "$KIN/$f")" </dev/null >>"$LOG" 2>&1 &
    STARTED+=($!)
done
quiet drive wait-window 120
rows=$(wait_rows 3 120)
check "three rows in one window" "rows: $rows" [ "$(grep -c . <<<"$rows")" = 3 ]
quiet drive wait-running 60
rows=$(drive wait-idle 300)
for k in film.mkv:MKV song.m4a:M4A voice.wma:WMA; do check_kind "$rows" "$KIN/${k%:*}" "${k##*:}"; done
# The copy that kept the window is the one left running.
for _ in $(seq 120); do
    n=0
    for pid in "${STARTED[@]}"; do kill -0 "$pid" 2>/dev/null && n=$((n + 1)); done
    ((n <= 1)) && break
    sleep 0.25
done
for pid in "${STARTED[@]}"; do kill -0 "$pid" 2>/dev/null && KPID=$pid; done
stop_korvello

echo "== one MP3 per chapter and a cover from the video, as chosen"
CH=$RUN/kinds-chosen
mkdir -p "$CH"
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2000\ntitle=Intro: one\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\nEND=4500\ntitle=Two\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=4500\nEND=6000\ntitle=Three\n' >"$CH/ch.txt"
kmk -f lavfi -i "$(ks 440 6)" -f lavfi -i "testsrc=size=1280x720:rate=25:duration=6" -i "$CH/ch.txt" -map 0 -map 1 \
    -map_chapters 2 -c:a aac -c:v libx264 -preset ultrafast "$CH/lecture.mp4"
kmk -f lavfi -i "$(ks 500 3)" -f lavfi -i "testsrc=size=300x300:rate=1:duration=1" -map 0 -map 1 -frames:v 1 \
    -c:a aac -c:v mjpeg -disposition:v:0 attached_pic "$CH/covered.m4a"
kmk -f lavfi -i "$(ks 560 3)" "${kv_[@]}" -c:a libvorbis -c:v mpeg4 "$CH/plain.mkv"
rm "$CH/ch.txt"
fresh_state
OUT=$RUN/out-kinds-chosen
set_workdir "$OUT"
for v in SplitChapters CoverFromVideo; do wine reg add 'HKCU\Software\Korvello' /v $v /t REG_DWORD /d 1 /f >/dev/null 2>&1; done
start_korvello
quiet drive add-folder "$(winpath "$CH")" 120
press_convert
rows=$(drive wait-idle 300)
for k in covered:M4A lecture:MP4 plain:MKV; do
    row=$(row_of "${k%:*}" "$rows")
    check "${k%:*}: Done" "row: $row" [ "$row" = "$(printf '%s\t%s\tDone\tMP3\tX' "${k##*:}" "${k%:*}")" ]
done
pieces=("lecture - 01 Intro_ one.mp3" "lecture - 02 Two.mp3" "lecture - 03 Three.mp3")
check "lecture: three MP3s, numbered and titled, and none of the whole" "$(ls "$OUT")" \
    [ "$(cd "$OUT" && ls lecture* | paste -sd'|')" = "$(printf '%s\n' "${pieces[@]}" | paste -sd'|')" ]
whole=$(kmk -i "$CH/lecture.mp4" -map 0:a -ar 44100 -ac 1 -f s16le - | wc -c)
want=(88200 110250 $((whole / 2 - 198450)))
for i in 0 1 2; do
    got=$(kmk -i "$OUT/${pieces[$i]}" -ac 1 -f s16le - | wc -c)
    check "lecture $((i + 1)): exactly ${want[$i]} samples" "got $((got / 2))" [ "$((got / 2))" = "${want[$i]}" ]
    tags=$(ffprobe -v error -show_entries format_tags=track,title -of csv=p=0 "$OUT/${pieces[$i]}")
    check "lecture $((i + 1)): its number and title" "got '$tags'" grep -qxE "$((i + 1))/3,.+|.+,$((i + 1))/3" <<<"$tags"
done
cover_of() { ffprobe -v error -select_streams v -show_entries stream=codec_name,width:stream_disposition=attached_pic -of csv=p=0 "$1" | paste -sd'|'; }
for f in "${pieces[0]}" "${pieces[2]}"; do
    check "$f: a frame of the video, 600 wide" "got '$(cover_of "$OUT/$f")'" [ "$(cover_of "$OUT/$f")" = "mjpeg,600,1" ]
done
check "plain.mkv: a frame of the video, 160 wide" "got '$(cover_of "$OUT/plain.mp3")'" [ "$(cover_of "$OUT/plain.mp3")" = "mjpeg,160,1" ]
own_cover() { [[ $(cover_of "$OUT/covered.mp3") =~ ^(mjpeg|png),300,1$ ]]; }
check "covered.m4a: its own picture alone" "got '$(cover_of "$OUT/covered.mp3")'" own_cover
check "no temporary file is left" "$(ls "$OUT")" [ -z "$(find "$OUT" -name '*.korvello-part')" ]
stop_korvello
