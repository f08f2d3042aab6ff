# shellcheck shell=bash
# Even loudness and ReplayGain on real-sounding media: quiet speech, loud
# compressed music with peaks at full scale, a phone clip with one bang, and
# silence, each made the same on every run (the noise generators' "s" option
# is a fixed number). Debian's own ffmpeg measures every MP3. Sourced by run_all.sh.

LD=$RUN/loudness
mkdir -p "$LD"
lmk() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
# Integrated loudness (LUFS), sample peak and true peak (dBFS), of the sound
# as the MP3 encoder takes it: 44.1 kHz stereo.
meter() { # file -> "I SAMPLE TRUE"
    ffmpeg -nostdin -hide_banner -i "$1" -af aformat=sample_rates=44100:channel_layouts=stereo,ebur128=peak=sample+true:framelog=verbose \
        -f null - 2>&1 | awk '/^ +I:/ { i = $2 } /Sample peak:/ { s = 1 } /True peak:/ { s = 2 }
        /^ +Peak:/ { if (s == 1) sp = $2; else tp = $2 } END { print i, sp, tp }'
}
# Numbers only: a meter that gave nothing fails the check.
num='^[-+]?[0-9]+([.][0-9]+)?$'
near() { awk -v a="$1" -v b="$2" -v t="$3" -v n="$num" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a ~ n && b ~ n && d <= t) }'; }
at_most() { awk -v a="$1" -v b="$2" -v n="$num" 'BEGIN { exit !(a ~ n && b ~ n && a + 0 <= b + 0) }'; }
level_to() { # wav target-LUFS mp4: scaled to the target with one gain
    local now
    now=$(meter "$1" | cut -d' ' -f1)
    lmk -i "$1" -af "volume=$(awk -v t="$2" -v n="$now" 'BEGIN { print t - n }')dB" -c:a aac -b:a 160k "$3"
}
voice='(0.5*sin(2*PI*(140+20*sin(2*PI*0.7*t))*t)+0.3*sin(4*PI*(140+20*sin(2*PI*0.7*t))*t)+0.2*sin(6*PI*(140+20*sin(2*PI*0.7*t))*t))*pow(max(0,sin(2*PI*3.1*t)),2)*(0.6+0.4*sin(2*PI*0.23*t))'
lmk -f lavfi -i "aevalsrc='$voice':s=48000:d=20" -f lavfi -i "anoisesrc=color=pink:a=0.02:d=20:r=48000:s=11" \
    -filter_complex "[0][1]amix=inputs=2:normalize=0" -ac 1 "$LD/voice.wav"
level_to "$LD/voice.wav" -35 "$LD/speech.mp4"
# Music: a chord over pink noise, pushed into full-scale clipping.
lmk -f lavfi -i "anoisesrc=color=pink:a=0.3:d=20:r=44100:s=12" \
    -f lavfi -i "aevalsrc='0.3*(sin(2*PI*110*t)+sin(2*PI*138.6*t)+sin(2*PI*164.8*t)+sin(2*PI*220*t))*(0.7+0.3*sin(2*PI*2*t))':s=44100:d=20" \
    -filter_complex "[0][1]amix=inputs=2:normalize=0,volume=4dB,aformat=sample_fmts=s16" -ac 2 "$LD/music.wav"
lmk -i "$LD/music.wav" -c:a aac -b:a 192k "$LD/music.mp4"
# A phone clip: speech at -24 LUFS and, 7 s in, a 40 ms bang at full scale.
lmk -i "$LD/voice.wav" -f lavfi -i "anoisesrc=color=white:a=1:d=0.04:r=48000:s=13" \
    -filter_complex "[0]volume=-6.7dB[s];[1]adelay=7000,apad[b];[s][b]amix=inputs=2:normalize=0:duration=first" \
    -c:a aac -b:a 96k "$LD/phone.mp4"
lmk -f lavfi -i "anullsrc=r=48000:cl=stereo" -t 6 -c:a aac "$LD/silence.mp4"
KINDS=(speech music phone silence)
for k in "${KINDS[@]}"; do echo "$k: $(meter "$LD/$k.mp4")"; done

convert_all() { # mode [target]
    fresh_state
    OUT=$RUN/out-loudness-$1${2:+$2}
    set_workdir "$OUT"
    reg_set Loudness REG_SZ "$1"
    [[ -n ${2:-} ]] && reg_set LoudnessTarget REG_SZ "$2"
    start_korvello
    quiet drive add-file "$(winpath "$LD/speech.mp4")" "$(winpath "$LD/music.mp4")" "$(winpath "$LD/phone.mp4")" \
        "$(winpath "$LD/silence.mp4")"
    rows=$(wait_rows 4 60)
    press_convert
    rows=$(drive wait-idle 300)
    stop_korvello
    for k in "${KINDS[@]}"; do check_converted "$k ($1)" "$(sed "s/\t$k\t/\t$k ($1)\t/" <<<"$rows")" "$OUT/$k.mp3" "$LD/$k.mp4"; done
}
reg_set() { wine reg add 'HKCU\Software\Korvello' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
samples() { ffmpeg -nostdin -v error -i "$1" -f s16le - | md5sum | cut -d' ' -f1; }

echo "== as it is: the default leaves the sound alone"
convert_all off
OFF=$OUT
m=$(meter "$OFF/music.mp3")
check "music (off): still as loud as its source, not brought down" "$m" at_most -10 "$(cut -d' ' -f1 <<<"$m")"

check_even() { # target: each MP3 of the last run within 0.5 LU of it, its true peak at most -1 dBTP
    local k m li tp
    for k in speech music phone; do
        m=$(meter "$OUT/$k.mp3")
        read -r li _ tp <<<"$m"
        check "$k (r128, $1): $li LUFS, within 0.5 LU of $1" "$m" near "$li" "$1" 0.5
        check "$k (r128, $1): true peak $tp dBTP, at most -1.0" "$m" at_most "$tp" -1.0
    done
}

echo "== even loudness at -16 LUFS, true peaks at most -1 dBTP"
convert_all r128
check_even -16
m=$(meter "$OUT/silence.mp3")
check "silence (r128): still silence" "$m" at_most "$(cut -d' ' -f1 <<<"$m")" -70
check "silence (r128): not one sample above nought" "$m" [ "$(cut -d' ' -f2 <<<"$m")" = -inf ]

echo "== even loudness at a target of the user's: -23 LUFS"
convert_all r128 -23
check_even -23

echo "== ReplayGain: tags of the reference -18 LUFS, the sound as it is"
convert_all replaygain
for k in speech music phone; do
    tags=$(ffprobe -v error -show_entries format_tags=REPLAYGAIN_TRACK_GAIN,REPLAYGAIN_TRACK_PEAK -of default=nw=1 "$OUT/$k.mp3")
    gain=$(sed -n 's/^TAG:REPLAYGAIN_TRACK_GAIN=\([-+0-9.]*\) dB$/\1/p' <<<"$tags")
    peak=$(sed -n 's/^TAG:REPLAYGAIN_TRACK_PEAK=\([0-9.]*\)$/\1/p' <<<"$tags")
    read -r li sp _ <<<"$(meter "$LD/$k.mp4")"
    rg1=$(ffmpeg -nostdin -hide_banner -i "$LD/$k.mp4" -af aformat=sample_rates=44100:channel_layouts=stereo,replaygain \
        -f null - 2>&1 | sed -n 's/.*track_gain = //p')
    want=$(awk -v i="$li" 'BEGIN { printf "%.2f", -18 - i }')
    check "$k (replaygain): track gain ${gain:-none} dB, within 0.2 dB of $want" "$tags; replaygain filter $rg1" \
        near "${gain:-99}" "$want" 0.2
    check "$k (replaygain): track peak ${peak:-none}, within 0.2 dB of $sp dBFS" "$tags" \
        near "$(awk -v p="${peak:-0}" 'BEGIN { print (p > 0) ? 20 * log(p) / log(10) : -999 }')" "$sp" 0.2
    check "$k (replaygain): the sound identical to the default's" "" [ "$(samples "$OUT/$k.mp3")" = "$(samples "$OFF/$k.mp3")" ]
done
tags=$(ffprobe -v error -show_entries format_tags -of default=nw=1 "$OUT/silence.mp3")
check "silence (replaygain): no gain for players to apply" "$tags" [ -z "$(grep REPLAYGAIN <<<"$tags")" ]

echo "== a long file: the row reads Measuring, then its percent; closing mid-run leaves nothing"
lmk -f lavfi -i "aevalsrc='$voice':s=44100:d=1200" -c:a aac -b:a 64k "$LD/lecture.mp4"
fresh_state
OUT=$RUN/out-loudness-long
set_workdir "$OUT"
reg_set Loudness REG_SZ r128
start_korvello
quiet drive add-file "$(winpath "$LD/lecture.mp4")"
press_convert
seen=""
for ((n = 0; n < 1200; n++)); do
    row=$(drive rows | cut -f3)
    [[ $row == Measuring && $seen != *Measuring* ]] && seen+="Measuring "
    [[ $row == *"% Done" && $seen == *Measuring* ]] && { seen+="percent"; break; }
    sleep 0.1
done
check "the row read Measuring, then its percent" "seen: $seen" [ "$seen" = "Measuring percent" ]
stop_korvello
check "closing mid-run leaves no MP3 and no temporary file" "$(ls -A "$OUT" 2>&1)" [ -z "$(ls -A "$OUT" 2>/dev/null)" ]
