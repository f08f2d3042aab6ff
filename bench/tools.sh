#!/usr/bin/env bash
# Tools: the embedded transcoder and media reader under Wine against Debian's
# own native build of the same libraries, on the same file with the same
# options. Computation under Wine runs at native speed, so Debian's build is
# the fair floor. Writes $BENCH/section-tools.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
ROUNDS=${BENCH_TOOL_ROUNDS:-5}
READER_RUNS=${BENCH_READER_RUNS:-10}
command -v mediainfo >/dev/null || die "missing Debian's mediainfo"
ensure_tools

# Four minutes of stereo AAC with a small picture track. Pink noise under a
# chord keeps the encoder's psychoacoustic model as busy as music does; a pure
# tone would flatter it.
CLIP=$BENCH/long-240s.mp4
if [[ ! -s $CLIP ]]; then
    ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "anoisesrc=c=pink:a=1/4:r=44100:s=7:d=240" \
        -f lavfi -i "aevalsrc=0.2*sin(2*PI*220*t)+0.15*sin(2*PI*277*t):s=44100:d=240" \
        -f lavfi -i "aevalsrc=0.2*sin(2*PI*330*t)+0.1*sin(2*PI*415*t):s=44100:d=240" \
        -f lavfi -i "testsrc=size=160x120:rate=10:duration=240" \
        -filter_complex "[1:a][2:a]join=inputs=2:channel_layout=stereo[tone];[0:a]aformat=channel_layouts=stereo[noise];[noise][tone]amix=inputs=2:normalize=0[a]" \
        -map "[a]" -map 3:v -c:a aac -b:a 160k -c:v mpeg4 -shortest "$CLIP.tmp.mp4" && mv "$CLIP.tmp.mp4" "$CLIP" ||
        die "cannot make the 240 s clip"
fi
CLIPWIN=$(winpath "$CLIP")
OUT_WIN=$BENCH/tools-wine.mp3
OUT_NAT=$BENCH/tools-native.mp3


# The program's argument line. Debian's ffmpeg has no -deinterlace switch; in
# the embedded build it only prints a warning, so leaving it out changes nothing.
wine_tc=() native_tc=()
for r in $(seq 1 "$ROUNDS"); do
    rm -f "$OUT_WIN" "$OUT_NAT"
    ms=$(wine_ms "$(winpath "$TOOLS/ffmpeg.exe")" -i "$CLIPWIN" -y -deinterlace -ar 44100 -ab 128 -ac 2 \
        "$(winpath "$OUT_WIN")")
    [[ -n $ms && -s $OUT_WIN ]] || die "the embedded transcoder failed"
    wine_tc+=("$ms")
    ms=$(native_ms ffmpeg -nostdin -i "$CLIP" -y -ar 44100 -ab 128 -ac 2 "$OUT_NAT") ||
        die "Debian's ffmpeg failed"
    native_tc+=("$ms")
    echo "transcoder round $r: embedded ${wine_tc[-1]} ms, Debian ${native_tc[-1]} ms"
done

# Both outputs must be the MP3 the program promises, or the race is not fair.
describe() { mediainfo --Inform='Audio;%SamplingRate% %Channel(s)% %BitRate% %BitRate_Mode% %Duration%' "$1"; }
DW=$(describe "$OUT_WIN")
DN=$(describe "$OUT_NAT")
read -r sr ch br mode dur <<<"$DW"
[[ $sr == 44100 && $ch == 2 && $br == 128000 && $mode == CBR ]] || die "the embedded transcoder wrote: $DW"
((dur > 239000 && dur < 241000)) || die "the embedded transcoder's MP3 lasts $dur ms"

wine_mi=() native_mi=()
MIWIN=$(winpath "$TOOLS/mediainfo.exe")
ARG='--Inform=General;%Duration/String3%'
for r in $(seq 1 "$READER_RUNS"); do
    wine_mi+=("$(wine_ms "$MIWIN" "$ARG" "$CLIPWIN")")
    native_mi+=("$(native_ms mediainfo "$ARG" "$CLIP")")
done
answer_w=$(wrun "$TOOLS/mediainfo.exe" "$ARG" "$CLIPWIN" 2>/dev/null | head -n 1)
answer_n=$(mediainfo "$ARG" "$CLIP" | head -n 1)
[[ $answer_w == "$answer_n" ]] || die "the readers disagree: '$answer_w' and '$answer_n'"

TW=$(printf '%s\n' "${wine_tc[@]}" | median)
TN=$(printf '%s\n' "${native_tc[@]}" | median)
MW=$(printf '%s\n' "${wine_mi[@]}" | median)
MN=$(printf '%s\n' "${native_mi[@]}" | median)
TR=$(ratio "$TW" "$TN")
MR=$(ratio "$MW" "$MN")

cat >"$BENCH/summary-tools.md" <<MD
| transcoder, 240 s AAC file to MP3 | $TW ms | $TN ms, Debian's native ffmpeg, same file and options | $TR | 1.15 |
| media reader, duration of that file | $MW ms | $MN ms, Debian's native mediainfo, same argument | $MR | (reported) |
MD
cat >"$BENCH/section-tools.md" <<MD
## (f) The embedded tools against Debian's native build

One MP4 of 240 s: stereo AAC at 44.1 kHz, pink noise under a chord (the encoder works as hard
as on music), with a 160x120 picture track. **Embedded**: the \`ffmpeg.exe\` and
\`mediainfo.exe\` the program writes into its tool folder, timed inside Wine from process
creation to exit. **Baseline**: Debian's \`ffmpeg\` and \`mediainfo\` packages (the same FFmpeg,
LAME and MediaInfo versions, built natively by Debian), timed from fork to exit.
Transcoder line: \`-i IN -y -deinterlace -ar 44100 -ab 128 -ac 2 OUT\` (Debian's ffmpeg without
\`-deinterlace\`, which it does not know and which the embedded build ignores). Reader line:
\`--Inform=General;%Duration/String3% IN\`. Rounds alternate between the two; medians.

| | runs (ms) | median (ms) | ratio |
|---|---|---|---|
| embedded ffmpeg.exe under Wine | ${wine_tc[*]} | $TW | $TR |
| Debian's ffmpeg | ${native_tc[*]} | $TN | 1.00 |
| embedded mediainfo.exe under Wine | ${wine_mi[*]} | $MW | $MR |
| Debian's mediainfo | ${native_mi[*]} | $MN | 1.00 |

- Transcoder ratio **$TR** (target <= 1.15: **$(verdict "$TR" 1.15)**).
- The embedded MP3: $DW (rate, channels, bit/s, mode, ms); Debian's: $DN.
- Both readers answered "$answer_n". The reader's time is mostly the start of a process: under
  Wine a process start costs tens of milliseconds more than under Linux.
MD
