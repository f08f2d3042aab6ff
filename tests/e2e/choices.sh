# shellcheck shell=bash
# shellcheck disable=SC2154 # rows, idle_rc and run_seconds: set by convert_and_check (run_all.sh)
# The user's choices, as the registry holds them: each MP3 quality, four files
# two at once, and an MP3 that is already there skipped or kept beside the new
# one. Sourced by run_all.sh.

set_choice() { # name type data
    wine reg add 'HKCU\Software\Korvello' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
}

# Twenty seconds of stereo pink noise, kept lossless: VBR needs sound with
# something to encode to show its presets' rates.
NOISE=$RUN/noise.mp4
noise() { # one channel of loud pink noise; each number gives noise of its own
    echo "anoisesrc=color=pink:duration=20:s=$1,volume=-4dB"
}
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$(noise 1)" -f lavfi -i "$(noise 2)" \
    -filter_complex "amerge=inputs=2" -ar 44100 -c:a alac "$NOISE"

# Frames and errors as Debian's own decoder reads them.
mp3_frames() { ffprobe -v error -count_frames -select_streams a -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
decodes_clean() { [ -z "$(ffmpeg -hide_banner -v error -i "$1" -f null - 2>&1)" ]; }
has_frame_count_header() { head -c 4096 "$1" | grep -a -q -e Xing -e Info; }
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

check_quality() { # quality mp3
    local q=$1 mp3=$2 mode rate dur frames
    mode=$(mediainfo --Inform='Audio;%BitRate_Mode%' "$mp3")
    rate=$(mediainfo --Inform='Audio;%BitRate%' "$mp3")
    dur=$(mediainfo --Inform='Audio;%Duration%' "$mp3")
    frames=$(mp3_frames "$mp3")
    check "$q: the MP3 is 44100 Hz stereo" "$(mp3_format "$mp3")" \
        [ "$(mediainfo --Inform='Audio;%SamplingRate% %Channel(s)%' "$mp3")" = "44100 2" ]
    case $q in
    V2 | V0)
        local lo hi
        # LAME's presets: V2 about 170 to 210 kbit/s, V0 about 220 to 260.
        if [[ $q == V2 ]]; then lo=170000 hi=210000; else lo=220000 hi=260000; fi
        check "$q: the MP3 is VBR" "mode $mode" [ "$mode" = VBR ]
        check "$q: the MP3 starts with a frame-count header" "" has_frame_count_header "$mp3"
        check "$q: the average rate is within the preset's range" "$rate bit/s" between "${rate:-0}" "$lo" "$hi"
        ;;
    *)
        check "$q: the MP3 is CBR at exactly $q kbit/s" "mode $mode, $rate bit/s" \
            [ "$mode $rate" = "CBR ${q}000" ]
        ;;
    esac
    check "$q: the MP3 lasts as long as the input" "$dur ms" close_enough 20 "${dur:-0}"
    # 20 s of 44100 Hz in frames of 1152 samples, give or take the encoder's delay.
    check "$q: its frames are all there and decode" "$frames frames" \
        bash -c "$(declare -f decodes_clean); (( ${frames:-0} >= 763 && ${frames:-0} <= 770 )) && decodes_clean '$mp3'"
}

check_noise() {
    check "$q: the row reads Done" "rows: $rows" [ "$(row_of noise "$rows")" = $'MP4\tnoise\tDone\tMP3\tX' ]
    if [[ -s $OUT/noise.mp3 ]]; then check_quality "$q" "$OUT/noise.mp3"; else fail "$q: MP3 written" "none"; fi
}

echo "== every MP3 quality"
for q in 128 192 256 320 V2 V0; do
    fresh_state
    OUT=$RUN/out-quality-$q
    set_workdir "$OUT"
    set_choice Mp3Quality REG_SZ "$q"
    start_korvello
    check "$q: the program starts" "no window within 60 s" [ $? -eq 0 ]
    convert_and_check -c check_noise "own:$NOISE"
    stop_korvello
done

echo "== four files two at once"
fresh_state
OUT=$RUN/out-two
set_workdir "$OUT"
set_choice FilesAtOnce REG_DWORD 2
mkdir -p "$RUN/four"
for n in one two three four; do cp "$MEDIA/long_240s.mp4" "$RUN/four/$n.mp4"; done
start_korvello
# The most transcoders seen running at one moment, until no row is working.
count_transcoders() {
    most=0
    for _ in $(seq 1 3000); do
        n=$(drive count-processes ffmpeg.exe)
        ((n > most)) && most=$n
        grep -q -e $'\tPending\t' -e '% Done' <<<"$(drive rows)" || break
        sleep 0.1
    done
    check "two transcoders run together, and never more" "at most $most at once" [ "$most" -eq 2 ]
}
no_transcoder_left() {
    check "no transcoder is left after the run" "$(drive count-processes ffmpeg.exe) still running" \
        [ "$(drive count-processes ffmpeg.exe)" = 0 ]
}
four=()
for n in one two three four; do four+=("done:$RUN/four/$n.mp4"); done
convert_and_check -d count_transcoders -w 600 -e "the run ends" -c no_transcoder_left "${four[@]}"
stop_korvello

check_older_mp3() {
    check "$how: the older MP3 is untouched" "" [ "$(cat "$OUT/aac_mono_48k.mp3")" = 'an older MP3' ]
    if [[ $how == skip ]]; then
        check "skip: the row reads Skipped" "rows: $rows" \
            [ "$(row_of aac_mono_48k "$rows")" = $'MP4\taac_mono_48k\tSkipped\t\tX' ]
        check "skip: no other MP3 is written" "$(ls "$OUT")" [ "$(ls "$OUT" | wc -l)" -eq 2 ]
    else
        check_converted aac_mono_48k "$rows" "$OUT/aac_mono_48k (2).mp3" "$BUILD/media/aac_mono_48k.mp4"
    fi
}

echo "== an MP3 that is already there"
for how in skip keep-both; do
    fresh_state
    OUT=$RUN/out-$how
    set_workdir "$OUT"
    set_choice WhenMp3Exists REG_SZ "$how"
    mkdir -p "$OUT"
    printf 'an older MP3' >"$OUT/aac_mono_48k.mp3"
    start_korvello
    convert_and_check -c check_older_mp3 "own:$BUILD/media/aac_mono_48k.mp4" "done:$BUILD/media/aac_stereo_video.mp4"
    stop_korvello
done
