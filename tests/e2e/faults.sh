# shellcheck shell=bash
# Faults from outside: the transcoder killed, the output folder deleted or
# made unwritable mid-run, no writable temporary folder, a settings key the
# user may not change, tool files locked or deleted. Each ends in a clear
# state with no finished MP3 lost. Sourced by run_all.sh.

# Three jobs: a four-minute file to interfere with, then two short ones.
queue_three() {
    local f
    for f in "$MEDIA/long_240s.mp4" "$BUILD/media/aac_mono_48k.mp4" "$BUILD/media/aac_stereo_video.mp4"; do
        drive add-file "$(winpath "$f")" >/dev/null || return 1
    done
}
# A new output folder, the three files queued and the first under way.
run_three() { # output folder name
    fresh_state
    OUT=$RUN/$1
    set_workdir "$OUT"
    start_korvello
    check "three files are queued" "" queue_three
    drive convert >/dev/null
    check "the first file is under way" "rows: $(drive rows)" quiet drive wait-running 60
}

echo "== the transcoder killed mid-file"
run_three out-killed
check "its transcoder is killed" "" quiet drive kill-child ffmpeg.exe
rows=$(drive wait-idle 120)
check "the run goes on to the end" "rows: $rows" [ $? -eq 0 ]
check_failed long_240s "$rows"
check_converted aac_mono_48k "$rows" "$OUT/aac_mono_48k.mp3" "$BUILD/media/aac_mono_48k.mp4"
check_converted aac_stereo_video "$rows" "$OUT/aac_stereo_video.mp3" "$BUILD/media/aac_stereo_video.mp4"
check_not_busy "the window is free again after the killed transcoder"
stop_korvello

echo "== the output folder deleted mid-run"
run_three out-deleted
rm -rf "$OUT"
rows=$(drive wait-idle 180)
check "the run ends" "rows: $rows" [ $? -eq 0 ]
# The file being written went with its folder; the later ones have nowhere to go.
for name in long_240s aac_mono_48k aac_stereo_video; do check_failed "$name" "$rows"; done
check_not_busy "the window is free again after losing its output folder"
stop_korvello

echo "== the output folder made unwritable mid-run"
run_three out-readonly
# Root may write anywhere whatever the mode bits; the immutable flag holds even for root.
locked_how=
if [[ $(id -u) != 0 ]] && chmod a-w "$OUT"; then
    locked_how=mode
elif chattr +i "$OUT" 2>/dev/null; then
    locked_how=immutable
fi
if [[ -z $locked_how ]]; then
    echo "SKIP: the output folder made unwritable (neither the mode bits nor the immutable flag can lock it here)"
    drive wait-idle 180 >/dev/null
else
    rows=$(drive wait-idle 180)
    check "the run ends" "rows: $rows" [ $? -eq 0 ]
    # The first MP3 was already open; the others cannot be created.
    check_converted long_240s "$rows" "$OUT/long_240s.mp3" "$MEDIA/long_240s.mp4"
    check_failed aac_mono_48k "$rows"
    check_failed aac_stereo_video "$rows"
    if [[ $locked_how == mode ]]; then chmod u+w "$OUT"; else chattr -i "$OUT"; fi
    check_not_busy "the window is free again after the unwritable folder"
fi
stop_korvello

echo "== no writable temporary folder"
fresh_state
ENV_KEY='HKCU\Environment'
saved_temp=$(wrun reg query "$ENV_KEY" /v TEMP 2>/dev/null | awk '$1 == "TEMP" { sub(/^[ \t]*TEMP[ \t]+/, ""); print; exit }')
NO_TEMP='C:\korvello-no-such-temp-folder'
restore_temp() {
    local type=${saved_temp%%[[:space:]]*} value=${saved_temp#*[[:space:]]}
    value=${value#"${value%%[![:space:]]*}"}
    for v in TEMP TMP; do
        if [[ -n $saved_temp ]]; then
            wine reg add "$ENV_KEY" /v "$v" /t "$type" /d "$value" /f >/dev/null 2>&1
        else
            wine reg delete "$ENV_KEY" /v "$v" /f >/dev/null 2>&1
        fi
    done
}
# The prefix is shared with the other tests: give the folder back even if this script is stopped.
trap 'restore_temp; cleanup' EXIT
for v in TEMP TMP; do wine reg add "$ENV_KEY" /v "$v" /t REG_SZ /d "$NO_TEMP" /f >/dev/null 2>&1; done
start_korvello
said=$(drive add-file "$(winpath "$BUILD/media/aac_mono_48k.mp4")")
rc=$?
restore_temp
trap cleanup EXIT
check "adding a file reports that the batch file cannot be made" "code $rc: $said" \
    [ "$rc" -eq 2 -a "${said%%\". *}" = "$(printf 'MESSAGE\tKorvello\tCannot create file "%s\\open.bat' "$NO_TEMP")" ]
check "no row is added" "rows: $(drive rows)" [ -z "$(drive rows)" ]
check_idle "the window takes commands afterwards"
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]

echo "== a settings key the user may not change"
fresh_state
OUT=$RUN/out-locked-settings
set_workdir "$OUT"
quiet drive registry-access 'Software\Korvello' read
start_korvello
check "the stored output folder is used" "got '$(drive text Edit3)'" [ "$(drive text Edit3)" = "$(winpath "$OUT")" ]
drive add-file "$(winpath "$BUILD/media/aac_mono_48k.mp4")" >/dev/null
drive convert >/dev/null
rows=$(drive wait-idle 60)
check_converted aac_mono_48k "$rows" "$OUT/aac_mono_48k.mp3" "$BUILD/media/aac_mono_48k.mp4"
stop_korvello
quiet drive registry-access 'Software\Korvello' full
check "the stored setting is unchanged" "got '$(reg_value WorkDir)'" [ "$(reg_value WorkDir)" = "$(winpath "$OUT")" ]

echo "== a tool file locked at start"
fresh_state
OUT=$RUN/out-tool-locked
set_workdir "$OUT"
mkdir -p "$APPDIR"
wine "$DRIVE" lock-file "$APPDATA_WIN\\Korvello\\ffmpeg.exe" 600 </dev/null >"$RUN/lock.txt" 2>&1 &
LPID=$!
for _ in $(seq 100); do grep -q locked "$RUN/lock.txt" && break; sleep 0.1; done
check "another program holds ffmpeg.exe" "$(cat "$RUN/lock.txt")" grep -q locked "$RUN/lock.txt"
start_korvello
check "the program starts all the same" "" [ $? -eq 0 ]
drive add-file "$(winpath "$BUILD/media/aac_mono_48k.mp4")" >/dev/null
drive convert >/dev/null
rows=$(drive wait-idle 60)
check "the run ends" "rows: $rows" [ $? -eq 0 ]
check_failed aac_mono_48k "$rows"
check_not_busy "the window is free again after the transcoder could not start"
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]
kill "$LPID" 2>/dev/null
wait "$LPID" 2>/dev/null
rm -f "$APPDIR/ffmpeg.exe"

echo "== tool files deleted after start"
fresh_state
OUT=$RUN/out-tool-deleted
set_workdir "$OUT"
start_korvello
rm -f "$APPDIR/ffmpeg.exe"
check "a file is still added" "" quiet drive add-file "$(winpath "$BUILD/media/aac_mono_48k.mp4")"
drive convert >/dev/null
rows=$(drive wait-idle 60)
check "the run ends" "rows: $rows" [ $? -eq 0 ]
check_failed aac_mono_48k "$rows"
rm -f "$APPDIR/mediainfo.exe"
said=$(drive add-file "$(winpath "$BUILD/media/aac_stereo_video.mp4")")
check "without the media reader a file is refused with the bad-header message" "code $?: $said" \
    [ "$said" = $'MESSAGE\tKorvello\tCannot process this file! Bad file header! Please use different file.' ]
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]
check_tools_gone "the remaining tool files are deleted at exit"
