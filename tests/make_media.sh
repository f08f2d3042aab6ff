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
printf 'this is not a video\n' > text.mp4
: > zero.mp4
touch .complete
