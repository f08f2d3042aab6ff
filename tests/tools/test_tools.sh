#!/usr/bin/env bash
# Checks the five Windows tool files (tools/build-tools.sh OUTDIR) under Wine:
# the conversion line Korvello runs, the duration query through a batch file,
# the import tables and the run-time DLL dependencies; and what the release
# takes from beside them: manifest.txt and each component's licence text.
# Usage: tests/tools/test_tools.sh TOOLSDIR
# Needs: wine (64-bit), Debian's ffmpeg and mediainfo, x86_64-w64-mingw32-objdump.
set -uo pipefail

if [[ $# -ne 1 || ! -d $1 ]]; then
    echo "usage: $0 TOOLSDIR" >&2
    exit 2
fi
TOOLS=$(cd "$1" && pwd)
FILES=(ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll)
OBJDUMP=x86_64-w64-mingw32-objdump

for tool in wine winepath wineserver wineboot ffmpeg mediainfo "$OBJDUMP"; do
    command -v "$tool" >/dev/null || { echo "missing '$tool'" >&2; exit 2; }
done

PASSED=0
FAILED=0
pass() { echo "PASS: $1"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: $1${2:+ -- $2}"; FAILED=$((FAILED + 1)); }
absent() { ! "$@"; }
imported_from() { # pe dll -> names imported from dll
    "$OBJDUMP" -p "$1" | awk -v dll="$2" '
        /DLL Name:/ { on = (tolower($3) == dll); getline; next }
        on && NF == 0 { on = 0 }
        on && NF >= 3 { print $3 }' | LC_ALL=C sort -u
}
exported_by() { # dll -> exported names
    "$OBJDUMP" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { on = 0 } on { print $NF }' |
        LC_ALL=C sort -u
}
bytes() { od -An -c "$1" | tr -d ' \n' | cut -c1-160; }
one_time_line_crlf() { [[ $(bytes "$1") =~ ^[0-9]+:[0-5][0-9]:[0-5][0-9]\.[0-9]{3}\\r\\n$ ]]; }
has_no_time() { ! grep -qE '[0-9]+:[0-9]{2}:[0-9]{2}' "$1"; }
within_1pct() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(b > 0 && d <= b / 100) }'; }
check() { # name detail command...
    local name=$1 detail=$2
    shift 2
    if "$@"; then pass "$name"; else fail "$name" "$detail"; fi
}

T=$(mktemp -d "${TMPDIR:-/tmp}/korvello-tools-test.XXXXXX")
export WINEDEBUG=-all
OWN_PREFIX=0
if [[ -z ${WINEPREFIX:-} ]]; then
    export WINEPREFIX=$T/wineprefix
    OWN_PREFIX=1
fi
cleanup() {
    if [[ $OWN_PREFIX -eq 1 ]]; then wineserver -k >/dev/null 2>&1 || true; fi
    rm -rf "$T"
}
trap cleanup EXIT

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "setting up Wine prefix $WINEPREFIX"
    wineboot -i >"$T/wineboot.log" 2>&1 || { cat "$T/wineboot.log"; echo "wineboot failed" >&2; exit 2; }
fi
# One server for the whole run; each Wine start is then much cheaper.
wineserver -p60 >/dev/null 2>&1 || true

# Z: is the prefix's link to /, so the name needs no Wine process (winepath can
# answer nothing while a server ends, which would leave an empty argument).
winpath() {
    local p
    p=$(realpath -ms -- "$1")
    printf 'Z:%s\n' "${p//\//\\}"
}

# ------------------------------------------------------------------ files and imports

for f in "${FILES[@]}"; do
    check "$f present" "not found in $TOOLS" test -s "$TOOLS/$f"
done

SYSTEM_DLLS=" kernel32.dll msvcrt.dll user32.dll advapi32.dll shell32.dll bcrypt.dll ole32.dll oleaut32.dll ws2_32.dll gdi32.dll shlwapi.dll version.dll "
declare -A ALLOWED=([ffmpeg.exe]="cygwin1.dll cygz.dll" [mediainfo.exe]="mediainfo.dll"
                    [cygwin1.dll]="" [cygz.dll]="" [mediainfo.dll]="")
for f in "${FILES[@]}"; do
    [[ -s $TOOLS/$f ]] || continue
    imports=$("$OBJDUMP" -p "$TOOLS/$f" | awk '/DLL Name:/ {print tolower($3)}' | tr '\n' ' ')
    echo "  $f imports: $imports"
    bad=""
    for d in $imports; do
        [[ $SYSTEM_DLLS == *" $d "* || " ${ALLOWED[$f]} " == *" $d "* ]] || bad+="$d "
    done
    check "$f imports only system DLLs and its siblings" "unexpected: $bad" test -z "$bad"
    check "$f is x86-64 PE" "wrong format" grep -q 'file format pei-x86-64' <("$OBJDUMP" -f "$TOOLS/$f")
    for d in ${ALLOWED[$f]}; do
        check "$f imports $d" "missing from import table" grep -qw "$d" <<<"$imports"
        # Wine starts a program even when a DLL lacks an imported function; Windows does not.
        wanted=$(imported_from "$TOOLS/$f" "$d")
        missing=$(LC_ALL=C comm -23 <(echo "$wanted") <(exported_by "$TOOLS/$d"))
        echo "  $f uses $(echo "$wanted" | grep -c .) functions of $d"
        check "$d exports every function $f imports from it" "missing: $(echo $missing)" \
            test -n "$wanted" -a -z "$missing"
    done
done

total=0
for f in "${FILES[@]}"; do [[ -f $TOOLS/$f ]] && total=$((total + $(stat -c %s "$TOOLS/$f"))); done
echo "  total size: $total bytes"
check "the five files within 13.5 MB together" "$total bytes" test "$total" -le 13500000
conf=$(wine "$TOOLS/ffmpeg.exe" -hide_banner -buildconf </dev/null 2>/dev/null | tr -d '\r')
check "ffmpeg.exe reports its build configuration" "got nothing" grep -q -- '--enable-libmp3lame' <<<"$conf"
# Size-optimised C still runs the decoders' and the resampler's assembly.
check "ffmpeg.exe keeps its SIMD assembly" "configured with --disable-x86asm" absent grep -q -- '--disable-x86asm' <<<"$conf"

# ------------------------------------------------------------------ manifest and licence texts

# The versions built, which the release's THIRD-PARTY.md names.
M_FILE=$TOOLS/manifest.txt
check "manifest.txt present" "not found in $TOOLS" test -s "$M_FILE"
for p in ffmpeg lame zlib mingw-w64 libzen libmediainfo mediainfo; do
    check "manifest names the $p source version" "$(grep "^source $p " "$M_FILE" 2>&1)" \
        grep -qE "^source $p [0-9]+:?[^ ]*$" "$M_FILE"
done
for p in gcc-mingw-w64 mingw-w64; do
    check "manifest names the toolchain's $p version" "$(grep "^toolchain $p " "$M_FILE" 2>&1)" \
        grep -qE "^toolchain $p [^ ]+ [^ ]+ [^ ]+$" "$M_FILE"
done
# Each text by a phrase only the right one holds: a wrong file copied, an empty one,
# or a cut-short extract fails here.
declare -A LICENSE_PHRASE=(
    [ffmpeg-COPYING.LGPLv2.1]="GNU LESSER GENERAL PUBLIC LICENSE|Version 2.1, February 1999"
    [ffmpeg-LICENSE.md]="Most files in FFmpeg are under the GNU Lesser General Public License"
    [lame-COPYING]="GNU LIBRARY GENERAL PUBLIC LICENSE|Version 2, June 1991"
    [lame-LICENSE]="Can I use LAME in my commercial program"
    [zlib-LICENSE]="Jean-loup Gailly and Mark Adler"
    [mingw-w64-COPYING]="Zope Public License (ZPL) Version 2.1"
    [mingw-w64-runtime-COPYING.txt]="MinGW-w64 runtime licensing"
    [winpthreads-COPYING]="Posix Threads library for Microsoft Windows"
    [zenlib-License.txt]="MediaArea.net SARL"
    [mediainfolib-LICENSE]="BSD 2-Clause License"
    [mediainfo-LICENSE]="BSD 2-Clause License"
    [mediainfolib-thirdparty-notices.txt]="Original code by Lee Thomason|Brian Gladman|Colin Plumb|tfsxml"
    [gcc-runtime-library-exception.txt]="GCC RUNTIME LIBRARY EXCEPTION|No Weakening of GCC Copyleft"
    [gcc-GPL-3]="GNU GENERAL PUBLIC LICENSE|Version 3, 29 June 2007"
)
has_phrases() { # file phrase|phrase...
    local phrase phrases
    [[ -s $1 ]] || return 1
    IFS='|' read -ra phrases <<<"$2"
    for phrase in "${phrases[@]}"; do grep -qF -- "$phrase" "$1" || return 1; done
}
for f in "${!LICENSE_PHRASE[@]}"; do
    check "licenses/$f holds its licence" "missing, empty or not saying '${LICENSE_PHRASE[$f]}'" \
        has_phrases "$TOOLS/licenses/$f" "${LICENSE_PHRASE[$f]}"
done
unknown=$(cd "$TOOLS/licenses" 2>/dev/null && for f in *; do [[ -n ${LICENSE_PHRASE[$f]:-} ]] || echo "$f"; done)
check "licenses/ holds no other file" "also: $(echo $unknown)" test -z "$unknown"

# ------------------------------------------------------------------ test media

M=$T/media
mkdir -p "$M"
vcodec=mpeg4
[[ $(ffmpeg -hide_banner -encoders 2>/dev/null) == *" libx264 "* ]] && vcodec=libx264
mk() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
mk -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=8" \
   -f lavfi -i "testsrc=size=320x240:rate=25:duration=8" \
   -ac 2 -c:a aac -b:a 128k -c:v "$vcodec" -pix_fmt yuv420p -shortest "$M/stereo44_video.mp4"
mk -f lavfi -i "anoisesrc=sample_rate=48000:amplitude=0.3:duration=7" \
   -ac 1 -c:a aac -b:a 96k "$M/mono48.mp4"
mk -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=9" \
   -af "pan=5.1|FL=c0|FR=c0|FC=c0|LFE=c0|BL=c0|BR=c0" -c:a aac -b:a 256k "$M/surround51.mp4"
mk -f lavfi -i "sine=frequency=550:sample_rate=22050:duration=6.5" \
   -ac 1 -c:a libmp3lame -b:a 64k "$M/mp3_in.mp4"
mk -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=7.5" \
   -f lavfi -i "testsrc=size=200x200:rate=1:duration=1" -frames:v 1 \
   -map 0:a -map 1:v -c:a aac -b:a 128k -c:v mjpeg -disposition:v attached_pic "$M/cover_art.m4a"
mk -f lavfi -i "testsrc=size=320x240:rate=25:duration=5" -c:v "$vcodec" -pix_fmt yuv420p "$M/video_only.mp4"
printf 'this is a text file, not a movie\r\n' >"$M/text_file.mp4"
: >"$M/zero_bytes.mp4"

mi() { mediainfo --Inform="$1" "$2" 2>/dev/null | tr -d '\r' | head -n1; }

# ------------------------------------------------------------------ conversion

convert() { # in out -> exit status of ffmpeg.exe; stderr kept in out.log
    wine "$TOOLS/ffmpeg.exe" -discard:V all -i "$(winpath "$1")" -y -deinterlace -ar 44100 -ab 128 -ac 2 "$(winpath "$2")" \
        </dev/null >"$2.log" 2>&1
}

for name in stereo44_video mono48 surround51 mp3_in cover_art; do
    in=$(ls "$M/$name".*)
    out=$T/$name.mp3
    convert "$in" "$out"
    rc=$?
    check "convert $name: exit status 0" "exit $rc: $(tail -n 3 "$out.log" | tr '\n' ' ')" test "$rc" -eq 0
    check "convert $name: -deinterlace accepted" "option rejected" absent grep -q 'Unrecognized option' "$out.log"
    if [[ ! -s $out ]]; then
        fail "convert $name: MP3 written" "no output file"
        continue
    fi
    info=$(mi 'Audio;%Format%|%SamplingRate%|%Channels%|%BitRate%|%BitRate_Mode%|%Duration%' "$out")
    want_ms=$(mi 'Audio;%Duration%' "$in")
    IFS='|' read -r fmt sr ch br mode dur <<<"$info"
    echo "  $name: mediainfo says $info (input audio ${want_ms} ms)"
    check "convert $name: MPEG Audio" "$fmt" test "$fmt" = "MPEG Audio"
    check "convert $name: 44100 Hz" "$sr" test "$sr" = 44100
    check "convert $name: 2 channels" "$ch" test "$ch" = 2
    check "convert $name: 128 kbit/s" "$br" test "$br" = 128000
    check "convert $name: constant bit rate" "$mode" test "$mode" = CBR
    check "convert $name: duration within 1 % of input" "mp3 ${dur} ms, input ${want_ms} ms" \
        within_1pct "${dur%.*}" "${want_ms%.*}"
done
# The JPEG cover of an M4A goes into the MP3 as a picture instead of stopping the conversion.
if [[ -s $T/cover_art.mp3 ]]; then
    cover=$(mi 'General;%Cover%' "$T/cover_art.mp3")
    check "convert cover_art: picture kept in the MP3" "Cover='$cover'" test "$cover" = Yes
fi

out=$T/video_only.mp3
convert "$M/video_only.mp4" "$out"
rc=$?
echo "  video-only input: exit $rc, $(tail -n 1 "$out.log")"
check "video-only input: ffmpeg exits non-zero" "exit $rc" test "$rc" -ne 0
check "video-only input: no MP3 left behind" "$(ls -l "$out" 2>&1)" test ! -e "$out"

# ------------------------------------------------------------------ every kind of input

# One short file of each kind Korvello takes, made by Debian's ffmpeg: the
# program's line converts its sound whole, the reader gives its length, and a
# file of the same name full of noise gives none.
K=$T/kinds
mkdir -p "$K"
S=(-f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4")
V=(-f lavfi -i "testsrc=size=160x120:rate=25:duration=4")
kind_media() { # kind -> makes $K/x.kind
    local k=$1 a
    case $k in
    mov | m4a | m4v) a=("${S[@]}" -c:a aac) ;;
    3gp) a=("${S[@]}" -ar 16000 -ac 1 -c:a aac) ;;
    mkv) a=("${S[@]}" "${V[@]}" -c:a libvorbis -c:v mpeg4) ;;
    webm) a=("${S[@]}" "${V[@]}" -c:a libopus -c:v libvpx -deadline realtime) ;;
    mka) a=("${S[@]}" -c:a flac) ;;
    ts) a=("${S[@]}" "${V[@]}" -c:a mp2 -c:v mpeg2video) ;;
    m2ts) a=("${S[@]}" -c:a ac3 -f mpegts -mpegts_m2ts_mode 1) ;;
    mpg) a=("${S[@]}" "${V[@]}" -c:a mp2 -c:v mpeg2video -f mpeg) ;;
    vob) a=("${S[@]}" "${V[@]}" -c:a ac3 -c:v mpeg2video -f vob) ;;
    avi) a=("${S[@]}" "${V[@]}" -c:a adpcm_ms -c:v mjpeg -pix_fmt yuvj420p) ;;
    flv) a=("${S[@]}" "${V[@]}" -ar 44100 -c:a aac -c:v flv) ;;
    wmv) a=("${S[@]}" "${V[@]}" -c:a wmav2 -c:v wmv2) ;;
    wma) a=("${S[@]}" -c:a wmav1) ;;
    ogg) a=("${S[@]}" -c:a libvorbis) ;;
    opus) a=("${S[@]}" -c:a libopus) ;;
    flac) a=("${S[@]}" -c:a flac) ;;
    wav) a=("${S[@]}" -c:a adpcm_ima_wav) ;;
    w64) a=("${S[@]}" -c:a pcm_s24le -f w64) ;;
    aac) a=("${S[@]}" -c:a aac -f adts) ;;
    ac3 | eac3) a=("${S[@]}" -c:a "$k") ;;
    dts) a=("${S[@]}" -c:a dca -strict -2 -f dts) ;;
    mp2) a=("${S[@]}" -c:a mp2) ;;
    truehd.mka) a=("${S[@]}" -c:a truehd -strict -2) ;;
    *) return 1 ;;
    esac
    mk "${a[@]}" -t 4 "$K/x.$k"
}
# The sound's length in seconds, decoded by Debian's ffmpeg (an MP3's encoder
# delay and padding taken off as its header says).
sound_seconds() { # file [stream]
    mk -i "$1" -map "0:${2:-a:0}" -c:a pcm_s16le -f wav "$1.wav" &&
        ffprobe -v error -show_entries format=duration -of csv=p=0 "$1.wav"
}
within_50ms() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a > 0 && d <= 0.05) }'; }
program_line() { # in out -> the program's own argument line
    wine "$TOOLS/ffmpeg.exe" -discard:V all -i "$(winpath "$1")" -y -deinterlace -ar 44100 -ab 128 -ac 2 -f mp3 \
        "$(winpath "$2")" </dev/null >"$2.log" 2>&1
}
for k in mov 3gp mkv webm mka ts m2ts mpg vob avi flv wmv wma ogg opus flac wav w64 aac ac3 eac3 dts mp2 truehd.mka; do
    kind_media "$k" || { fail "$k: test file made"; continue; }
    program_line "$K/x.$k" "$K/x.$k.mp3"
    rc=$?
    want=$(sound_seconds "$K/x.$k") got=$(sound_seconds "$K/x.$k.mp3")
    check "$k: converted whole (${got:-nothing} s of ${want} s)" "exit $rc: $(tail -n 2 "$K/x.$k.mp3.log" | tr '\n' ' ')" \
        within_50ms "${got:-0}" "${want:-0}"
    check "$k: no video frame was decoded" "" absent grep -qE 'Stream #0:[0-9]+ -> #0:[0-9]+ \((mpeg4|vp8|flv1|wmv2|mpeg2video|mjpeg) ' "$K/x.$k.mp3.log"
    # As the probe asks: a raw AAC stream is read to its end.
    whole=()
    [[ $k == aac ]] && whole=(--ParseSpeed=1)
    line=$(wine "$TOOLS/mediainfo.exe" "${whole[@]}" "--Inform=General;%Duration/String3%" "$(winpath "$K/x.$k")" </dev/null 2>/dev/null | tr -d '\r')
    check "$k: the reader gives its length" "got '$line'" test "${line:0:7}" = "00:00:0"
    # Text, never a frame sync: random bytes now and then hold one and read as a short sound.
    yes "not a media file" | head -c 4096 >"$K/noise.$k"
    line=$(wine "$TOOLS/mediainfo.exe" "--Inform=General;%Duration/String3%" "$(winpath "$K/noise.$k")" </dev/null 2>/dev/null | tr -d '\r')
    check "$k: noise under its name has no length" "got '$line'" test -z "$line"
done

# Several sound tracks: the one marked default, else the first; never the one with more channels.
long=(-f lavfi -i "sine=frequency=300:sample_rate=48000:duration=3")
surround=(-f lavfi -i "sine=frequency=900:sample_rate=48000:duration=2,pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0")
mk "${long[@]}" "${surround[@]}" -map 0 -map 1 -c:a aac -disposition:a:0 0 -disposition:a:1 default "$K/default2.mp4"
mk "${long[@]}" "${surround[@]}" -map 0 -map 1 -c:a libvorbis -disposition:a:0 0 -disposition:a:1 0 "$K/nodefault.mkv"
mk "${long[@]}" "${surround[@]}" -map 0 -map 1 -c:a aac -disposition:a:0 default -disposition:a:1 0 "$K/default1.mkv"
for t in default2.mp4:a:1 nodefault.mkv:a:0 default1.mkv:a:0; do
    f=${t%%:*} want_track=${t#*:}
    program_line "$K/$f" "$K/$f.mp3"
    want=$(sound_seconds "$K/$f" "$want_track") got=$(sound_seconds "$K/$f.mp3")
    check "tracks $f: the MP3 holds track $want_track ($want s)" "got ${got:-nothing} s" within_50ms "${got:-0}" "${want:-0}"
done

# Chapters reach the MP3 as ID3v2 chapter frames with a table of contents.
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=4000\ntitle=Zweiter Teil\n' >"$K/chapters.txt"
for c in m4b mkv; do
    codec=aac
    [[ $c == mkv ]] && codec=libvorbis
    mk "${S[@]}" -i "$K/chapters.txt" -map 0 -map_chapters 1 -c:a "$codec" -t 4 -f "$([[ $c == m4b ]] && echo ipod || echo matroska)" "$K/book.$c"
    program_line "$K/book.$c" "$K/book.$c.mp3"
    titles=$(ffprobe -v error -show_chapters -of csv=p=0 "$K/book.$c.mp3" | awk -F, '{print $NF}' | paste -sd'|')
    check "chapters $c: both in the MP3" "got '$titles'" test "$titles" = "Opening|Zweiter Teil"
    check "chapters $c: with a table of contents" "" grep -qa CTOC "$K/book.$c.mp3"
done

# One MP3 per chapter, as the program's line splits a file: each piece holds
# exactly its chapter's samples at 44.1 kHz, and together the whole sound.
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=A\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=2750\ntitle=B\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=2750\nEND=4000\ntitle=C\n' >"$K/three.txt"
mk "${S[@]}" -i "$K/three.txt" -map 0 -map_chapters 1 -c:a aac -t 4 -f ipod "$K/three.m4b"
graph="[0:0]aresample=44100,asplit=3[s0][s1][s2];[s0]atrim=start_sample=0:end_sample=66150,asetpts=PTS-STARTPTS[a0]"
graph+=";[s1]atrim=start_sample=66150:end_sample=121275,asetpts=PTS-STARTPTS[a1];[s2]atrim=start_sample=121275,asetpts=PTS-STARTPTS[a2]"
piece_args=()
for i in 0 1 2; do
    piece_args+=(-map "[a$i]" -map_chapters -1 -metadata "track=$((i + 1))/3" -ar 44100 -ab 128 -ac 2 -f mp3 "$(winpath "$K/three.$i.mp3")")
done
wine "$TOOLS/ffmpeg.exe" -discard:V all -i "$(winpath "$K/three.m4b")" -y -deinterlace -filter_complex "$graph" \
    "${piece_args[@]}" </dev/null >"$K/three.log" 2>&1
samples_of() { mk -i "$1" -f s16le -ac 1 "$1.raw" && echo $(($(stat -c %s "$1.raw") / 2)); }
whole=$(mk -i "$K/three.m4b" -ar 44100 -f s16le -ac 1 "$K/three.raw" && echo $(($(stat -c %s "$K/three.raw") / 2)))
want=(66150 55125 $((whole - 121275)))
for i in 0 1 2; do
    got=$(samples_of "$K/three.$i.mp3")
    check "chapter $((i + 1)): exactly ${want[$i]} samples" "got ${got:-no MP3}: $(tail -n 1 "$K/three.log")" test "${got:-0}" = "${want[$i]}"
done
check "chapter 2: numbered 2 of 3, no chapters of its own" "" \
    test "$(ffprobe -v error -show_entries format_tags=track -show_chapters -of csv=p=0 "$K/three.1.mp3")" = "2/3"

# Loudness: the embedded meter agrees with Debian's on the same file, and the
# limiter line holds a sound lifted 12 dB under the ceiling, its length kept.
mk -f lavfi -i "anoisesrc=color=pink:a=0.5:d=6:r=48000:s=14" -ac 2 -c:a aac "$K/loud.m4a"
fmt=aformat=sample_rates=44100:channel_layouts=stereo
lufs_of() { awk '/^ +I:/ { i = $2 } END { print i }'; }
ours=$(wine "$TOOLS/ffmpeg.exe" -discard:V all -i "$(winpath "$K/loud.m4a")" -vn -sn -dn \
    -af "$fmt,ebur128=peak=sample:framelog=verbose" -f null - </dev/null 2>&1 | tr -d '\r' | lufs_of)
theirs=$(ffmpeg -nostdin -hide_banner -i "$K/loud.m4a" -af "$fmt,ebur128=framelog=verbose" -f null - 2>&1 | lufs_of)
check "the meter: $ours LUFS, as Debian's ffmpeg measures ($theirs)" "" test -n "$ours" -a "$ours" = "$theirs"
wine "$TOOLS/ffmpeg.exe" -discard:V all -i "$(winpath "$K/loud.m4a")" -y -deinterlace -af \
    "$fmt,volume=12.00dB,aresample=176400,alimiter=limit=0.794328:attack=5:release=50:level=0:latency=1,aresample=44100" \
    -ar 44100 -ab 128 -ac 2 -f mp3 "$(winpath "$K/loud.mp3")" </dev/null >"$K/loud.log" 2>&1
tp=$(ffmpeg -nostdin -hide_banner -i "$K/loud.mp3" -af ebur128=peak=true:framelog=verbose -f null - 2>&1 |
    awk '/^ +Peak:/ { p = $2 } END { print p }')
check "the limiter: the MP3's true peak $tp dBTP, at most -1.0" "$(tail -n 2 "$K/loud.log")" \
    awk -v p="${tp:-99}" 'BEGIN { exit !(p <= -1.0) }'
pcm_samples() { ffmpeg -nostdin -v error -i "$1" -ar 44100 -ac 1 -f s16le - | wc -c; }
check "the limiter: the MP3 holds exactly its source's samples" "" test "$(pcm_samples "$K/loud.mp3")" = "$(pcm_samples "$K/loud.m4a")"

# A cover from the video: a frame of each video codec, at most 600 pixels wide.
cover_media() { # codec -> the file made
    local big=(-f lavfi -i "testsrc=size=1280x720:rate=25:duration=4") f
    case $1 in
    h264) f=$K/cv.h264.mp4 && mk "${S[@]}" "${big[@]}" -c:a aac -c:v libx264 -preset ultrafast "$f" ;;
    hevc) f=$K/cv.hevc.mkv && mk "${S[@]}" "${big[@]}" -c:a aac -c:v libx265 -preset ultrafast "$f" ;;
    mpeg4) f=$K/cv.mpeg4.mp4 && mk "${S[@]}" "${V[@]}" -c:a aac -c:v mpeg4 "$f" ;;
    vp8) f=$K/cv.vp8.webm && mk "${S[@]}" "${big[@]}" -c:a libopus -c:v libvpx -deadline realtime "$f" ;;
    vp9) f=$K/cv.vp9.webm && mk "${S[@]}" "${big[@]}" -c:a libopus -c:v libvpx-vp9 -deadline realtime "$f" ;;
    esac && echo "$f"
}
for codec in h264 hevc mpeg4 vp8 vp9; do
    f=$(cover_media "$codec")
    [[ -n $f ]] || { fail "cover $codec: test file made"; continue; }
    wine "$TOOLS/ffmpeg.exe" -discard:V all -i "$(winpath "$f")" -ss 0.400 -t 1 -i "$(winpath "$f")" -y -deinterlace \
        -map 0:1 -map 1:V:0 -frames:v 1 -vf "scale=w='min(600,iw)':h=-2,format=yuvj420p" -c:v mjpeg -q:v 3 \
        -ar 44100 -ab 128 -ac 2 -f mp3 "$(winpath "$f.mp3")" </dev/null >"$f.log" 2>&1
    pic=$(ffprobe -v error -select_streams v -show_entries stream=codec_name,width:stream_disposition=attached_pic -of csv=p=0 "$f.mp3")
    want_w=600
    [[ $codec == mpeg4 ]] && want_w=160
    check "cover $codec: one JPEG $want_w wide" "got '$pic': $(tail -n 1 "$f.log")" test "$pic" = "mjpeg,$want_w,1"
    want=$(sound_seconds "$f") got=$(sound_seconds "$f.mp3")
    check "cover $codec: the sound whole" "got ${got:-nothing} s of $want s" within_50ms "${got:-0}" "${want:-0}"
done

# ------------------------------------------------------------------ duration through a batch file

# Korvello asks for the duration through a four-line batch file run by cmd.
duration_via_batch() { # media-file result-file: copies duration_time.txt to result-file if cmd wrote one
    local media=$1 dir exe_short
    dir=$(mktemp -d "$T/bat.XXXXXX")
    exe_short=$(winepath -s "$(winpath "$TOOLS/mediainfo.exe")" 2>/dev/null)
    printf '%s\r\n' \
        '@echo off' \
        "cd /d \"$(winpath "$dir")\"" \
        "\"$exe_short\" --Inform=General;%%Duration/String3%% \"$(winpath "$media")\" > \"duration_time.txt\"" \
        'exit' >"$dir/duration.bat"
    wine cmd /c "$(winpath "$dir/duration.bat")" </dev/null >/dev/null 2>&1
    rm -f "$2"
    if [[ -f $dir/duration_time.txt ]]; then cp "$dir/duration_time.txt" "$2"; fi
}

good=$M/stereo44_video.mp4
duration_via_batch "$good" "$T/good.txt"
echo "  batch output for a good file: $(bytes "$T/good.txt" 2>&1)"
want=$(mi 'General;%Duration/String3%' "$good")
want_ms=$(mi 'General;%Duration%' "$good")
check "batch: exactly one H:MM:SS.mmm line with CR LF" "got $(bytes "$T/good.txt" 2>&1)" one_time_line_crlf "$T/good.txt"
line=$(tr -d '\r\n' <"$T/good.txt" 2>/dev/null)
check "batch: duration matches the file ($want)" "got '${line:0:80}'" test "$line" = "$want"
got_ms=$(awk -F'[:.]' 'NF == 4 {print (($1 * 60 + $2) * 60 + $3) * 1000 + $4}' <<<"$line")
check "batch: duration within 1 % of ${want_ms} ms" "got ${got_ms:-nothing}" within_1pct "${got_ms:-0}" "${want_ms%.*}"

for bad in text_file zero_bytes; do
    duration_via_batch "$M/$bad.mp4" "$T/$bad.txt"
    echo "  batch output for $bad.mp4: $(bytes "$T/$bad.txt" 2>&1)"
    check "batch: ran for $bad.mp4" "no duration_time.txt written" test -f "$T/$bad.txt"
    check "batch: no time for $bad.mp4" "got $(bytes "$T/$bad.txt" 2>&1)" has_no_time "$T/$bad.txt"
    # Nothing at all, not even a line break: the program reads "no line" as "not a media file".
    check "batch: empty answer for $bad.mp4" "got $(bytes "$T/$bad.txt" 2>&1)" test ! -s "$T/$bad.txt"
done

# ------------------------------------------------------------------ run-time DLLs

# The DLLs are real dependencies: without either one ffmpeg.exe must not start.
runs() { # dir exe args...
    local d=$1 exe=$2
    shift 2
    (cd "$d" && wine "./$exe" "$@" </dev/null >/dev/null 2>&1)
}
D=$T/dlls
mkdir -p "$D/all"
cp "${FILES[@]/#/$TOOLS/}" "$D/all/"
check "ffmpeg.exe starts with both DLLs beside it" "it did not" runs "$D/all" ffmpeg.exe -version
check "mediainfo.exe starts with mediainfo.dll beside it" "it did not" runs "$D/all" mediainfo.exe --Version
for missing in cygwin1.dll cygz.dll; do
    mkdir -p "$D/no-$missing"
    cp "$D/all/ffmpeg.exe" "$D/all/cygwin1.dll" "$D/all/cygz.dll" "$D/no-$missing/"
    rm "$D/no-$missing/$missing"
    check "ffmpeg.exe fails to start without $missing" "it started" absent runs "$D/no-$missing" ffmpeg.exe -version
done
mkdir -p "$D/no-mediainfo.dll"
cp "$D/all/mediainfo.exe" "$D/no-mediainfo.dll/"
check "mediainfo.exe fails to start without mediainfo.dll" "it started" \
    absent runs "$D/no-mediainfo.dll" mediainfo.exe --Version

echo
echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
