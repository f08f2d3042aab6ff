#!/usr/bin/env bash
# Kinds: each kind of input converted with the program's argument line by the
# embedded transcoder under Wine, against Debian's own ffmpeg (the same FFmpeg
# and LAME versions, native) on the same file. Writes $BENCH/section-kinds.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ensure_tools
SECS=${BENCH_KIND_SECONDS:-240}
K=$BENCH/kinds
mkdir -p "$K"
music=(-f lavfi -i "anoisesrc=c=pink:a=1/4:r=48000:s=7:d=$SECS")
video=(-f lavfi -i "testsrc=size=320x240:rate=25:duration=$SECS")
make_kind() { # name args...
    local n=$1
    shift
    [[ -s $K/$n ]] || ffmpeg -nostdin -hide_banner -loglevel error -y "${music[@]}" "$@" -t "$SECS" "$K/$n" ||
        die "cannot make $n"
}
make_kind film.mkv "${video[@]}" -ac 2 -c:a libvorbis -c:v mpeg4
make_kind download.webm "${video[@]}" -ac 2 -c:a libopus -c:v libvpx -deadline realtime -cpu-used 8
make_kind song.m4a -ac 2 -c:a aac -b:a 160k
make_kind camera.avi "${video[@]}" -ac 2 -c:a adpcm_ms -c:v mjpeg -pix_fmt yuvj420p -q:v 10
make_kind voice.wma -ac 2 -c:a wmav2
make_kind disc.m2ts -ac 2 -c:a ac3 -f mpegts -mpegts_m2ts_mode 1
make_kind tape.flac -ac 2 -c:a flac

rows=""
for f in film.mkv download.webm song.m4a camera.avi voice.wma disc.m2ts tape.flac; do
    rm -f "$K/$f.wine.mp3" "$K/$f.native.mp3"
    w=$(wine_ms "$(winpath "$TOOLS/ffmpeg.exe")" -discard:V all -i "$(winpath "$K/$f")" -y -deinterlace -ar 44100 -ab 128 \
        -ac 2 -f mp3 "$(winpath "$K/$f.wine.mp3")")
    [[ -n $w && -s $K/$f.wine.mp3 ]] || die "the embedded transcoder failed on $f"
    n=$(native_ms ffmpeg -nostdin -discard:V all -i "$K/$f" -y -ar 44100 -ab 128 -ac 2 -f mp3 "$K/$f.native.mp3") ||
        die "Debian's ffmpeg failed on $f"
    echo "$f: embedded $w ms, Debian $n ms"
    rows+="| $f | $w | $n | $(ratio "$w" "$n") |"$'\n'
done
# The choices' lines: eight chapters in one decoding, and a cover frame from a second of an H.264 video.
meta=";FFMETADATA1"$'\n'
for i in 0 1 2 3 4 5 6 7; do meta+="[CHAPTER]"$'\n'"TIMEBASE=1/1000"$'\n'"START=$((i * SECS * 125))"$'\n'"END=$(((i + 1) * SECS * 125))"$'\n'; done
printf '%s' "$meta" >"$K/eight.txt"
[[ -s $K/book.m4b ]] || ffmpeg -nostdin -hide_banner -loglevel error -y "${music[@]}" -i "$K/eight.txt" -map 0 -map_chapters 1 \
    -ac 2 -c:a aac -t "$SECS" -f ipod "$K/book.m4b" || die "cannot make book.m4b"
make_kind clip.mp4 "${video[@]}" -ac 2 -c:a aac -c:v libx264 -preset ultrafast
graph="[0:0]aresample=44100,asplit=8[s0][s1][s2][s3][s4][s5][s6][s7]"
for i in 0 1 2 3 4 5 6 7; do
    graph+=";[s$i]atrim=start_sample=$((i * SECS * 5512 + i * SECS / 2))"
    ((i < 7)) && graph+=":end_sample=$(((i + 1) * SECS * 5512 + (i + 1) * SECS / 2))"
    graph+=",asetpts=PTS-STARTPTS[a$i]"
done
chosen_line() { # which side(in out prefix) -> the line's arguments
    local in=$2 out=$3 i
    case $1 in
    chapters)
        printf '%s\0' -discard:V all -i "$in" -y -filter_complex "$graph"
        for i in 0 1 2 3 4 5 6 7; do printf '%s\0' -map "[a$i]" -map_chapters -1 -ar 44100 -ab 128 -ac 2 -f mp3 "$out.$i.mp3"; done ;;
    cover)
        printf '%s\0' -discard:V all -i "$in" -ss "$((SECS / 10)).000" -t 1 -i "$in" -y -map 0:1 -map 1:V:0 -frames:v 1 \
            -vf "scale=w='min(600,iw)':h=-2,format=yuvj420p" -c:v mjpeg -q:v 3 -ar 44100 -ab 128 -ac 2 -f mp3 "$out.mp3" ;;
    esac
}
for c in chapters:book.m4b cover:clip.mp4; do
    f=${c#*:} what=${c%%:*}
    mapfile -d '' wl < <(chosen_line "$what" "$(winpath "$K/$f")" "$(winpath "$K/$f.$what.wine")")
    mapfile -d '' nl < <(chosen_line "$what" "$K/$f" "$K/$f.$what.native")
    w=$(wine_ms "$(winpath "$TOOLS/ffmpeg.exe")" "${wl[@]}")
    [[ -n $w ]] || die "the embedded transcoder failed on $f ($what)"
    n=$(native_ms ffmpeg -nostdin "${nl[@]}") || die "Debian's ffmpeg failed on $f ($what)"
    echo "$f, $what: embedded $w ms, Debian $n ms"
    rows+="| $f, $what | $w | $n | $(ratio "$w" "$n") |"$'\n'
done
cat >"$BENCH/summary-kinds.md" <<MD
| Each kind of input, $SECS s (see its section) | | Debian's native ffmpeg | | |
MD
cat >"$BENCH/section-kinds.md" <<MD
## Kinds of input

Each file holds $SECS s of stereo pink noise (and a picture where the kind carries video),
converted with the program's argument line: the embedded transcoder under Wine against Debian's
own ffmpeg 5.1 on the same file (without \`-deinterlace\`, which it does not know). One run each.
"chapters" writes one MP3 per chapter of eight in one decoding; "cover" adds a frame from a
tenth into an H.264 video as the cover.

| file | embedded, under Wine (ms) | Debian's ffmpeg, native (ms) | ratio |
|---|---|---|---|
$rows
MD
