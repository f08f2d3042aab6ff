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
cat >"$BENCH/summary-kinds.md" <<MD
| Each kind of input, $SECS s (see its section) | | Debian's native ffmpeg | | |
MD
cat >"$BENCH/section-kinds.md" <<MD
## Kinds of input

Each file holds $SECS s of stereo pink noise (and a picture where the kind carries video),
converted with the program's argument line: the embedded transcoder under Wine against Debian's
own ffmpeg 5.1 on the same file (without \`-deinterlace\`, which it does not know). One run each.

| file | embedded, under Wine (ms) | Debian's ffmpeg, native (ms) | ratio |
|---|---|---|---|
$rows
MD
