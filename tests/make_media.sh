#!/usr/bin/env bash
# Makes the MP4 files the tests convert, with Debian's ffmpeg: short synthetic
# tones and test pictures, no third-party media. Usage: make_media.sh OUTDIR
set -euo pipefail
out=${1:?output folder}
mkdir -p "$out"
cd "$out"
[ -f .complete ] && exit 0
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
tone() { echo "sine=frequency=$1:sample_rate=$2:duration=$3"; }

# AAC stereo 44.1 kHz with a video track.
ff -f lavfi -i "$(tone 440 44100 6)" -f lavfi -i "$(tone 660 44100 6)" \
   -f lavfi -i "testsrc=size=160x120:rate=10:duration=6" \
   -filter_complex "[0:a][1:a]amerge=inputs=2[a]" -map "[a]" -map 2:v \
   -c:a aac -b:a 128k -c:v mpeg4 -shortest aac_stereo_video.mp4
# AAC mono 48 kHz.
ff -f lavfi -i "$(tone 523 48000 4)" -c:a aac -b:a 64k aac_mono_48k.mp4
# AAC 5.1.
ff -f lavfi -i "$(tone 300 48000 4)" -filter_complex "[0:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[a]" \
   -map "[a]" -c:a aac -b:a 192k aac_51.mp4
# MP3 inside MP4.
ff -f lavfi -i "$(tone 350 44100 4)" -c:a libmp3lame -b:a 96k mp3_in_mp4.mp4
# Video only: nothing to convert.
ff -f lavfi -i "testsrc=size=160x120:rate=10:duration=3" -c:v mpeg4 video_only.mp4
# Two minutes of audio, for runs long enough to show progress.
ff -f lavfi -i "$(tone 440 44100 120)" -c:a aac -b:a 96k long_120s.mp4
# Damaged inputs: cut short with its index in front (readable, but the sound
# stops early), cut short with its index at the end (unreadable), not a video.
ff -f lavfi -i "$(tone 440 44100 20)" -c:a aac -b:a 128k -movflags +faststart faststart_20s.mp4
head -c $(( $(stat -c %s faststart_20s.mp4) / 3 )) faststart_20s.mp4 > truncated.mp4
rm faststart_20s.mp4
head -c 20000 aac_stereo_video.mp4 > no_index.mp4
# A minute of sound with 40 bytes spoiled in six audio packets: the decoder
# complains six times and the sound lasts to the end. The same file cut at 60 %
# keeps its index in front and loses the rest of its sound.
ff -f lavfi -i "$(tone 440 44100 60)" -c:a aac -b:a 128k -movflags +faststart whole_60s.mp4
python3 - whole_60s.mp4 damaged_60s.mp4 cut_60s.mp4 <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = 0
while at < len(data):
    size, kind = struct.unpack('>I4s', data[at:at + 8])
    if kind == b'mdat':
        start, end = at + 8, at + size
    at += size
for k in range(1, 7):
    p = start + (end - start) * k // 7
    data[p:p + 40] = bytes(40)
open(sys.argv[2], 'wb').write(data)
open(sys.argv[3], 'wb').write(data[:len(data) * 60 // 100])
PY
rm whole_60s.mp4
printf 'this is not a video\n' > text.mp4
: > zero.mp4
touch .complete
