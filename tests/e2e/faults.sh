# shellcheck shell=bash
# shellcheck disable=SC2154 # rows, idle_rc and run_seconds: set by convert_and_check (run_all.sh)
# Faults from outside: the transcoder killed, the output folder deleted or
# made unwritable mid-run, no writable temporary folder, a settings key the
# user may not change, tool files locked or deleted. Each ends in a clear
# state with no finished MP3 lost. Sourced by run_all.sh.

# Three jobs: a four-minute file to interfere with, then two short ones.
LONG_JOB=$MEDIA/long_240s.mp4
SHORT_JOBS=("$BUILD/media/aac_mono_48k.mp4" "$BUILD/media/aac_stereo_video.mp4")
# A new output folder, and the program started with it.
fresh_start() { # output folder name
    fresh_state
    OUT=$RUN/$1
    set_workdir "$OUT"
    start_korvello
}
first_under_way() {
    check "the first file is under way" "rows: $(drive rows)" quiet drive wait-running 60
    "$fault"
}
# The three files added one by one, the run started and, once the first file
# is under way, the fault made; then the end of the run waited for and checked.
run_three() { # fault [options of convert_and_check] OUTCOME...
    local fault=$1
    shift
    convert_and_check -a add_each -A "three files are queued" -d first_under_way "$@"
}

echo "== the transcoder killed mid-file"
kill_transcoder() { check "its transcoder is killed" "" quiet drive kill-child ffmpeg.exe; }
fresh_start out-killed
run_three kill_transcoder -w 120 -e "the run goes on to the end" "failed:$LONG_JOB" "${SHORT_JOBS[@]/#/done:}"
check_not_busy "the window is free again after the killed transcoder"
stop_korvello

echo "== the output folder deleted mid-run"
delete_out() { rm -rf "$OUT"; }
fresh_start out-deleted
# The file being written went with its folder; the later ones have nowhere to go.
run_three delete_out -w 180 -e "the run ends" "failed:$LONG_JOB" "${SHORT_JOBS[@]/#/failed:}"
check_not_busy "the window is free again after losing its output folder"
stop_korvello

echo "== the output folder made unwritable mid-run"
lock_out() {
    lock_folder "$OUT" || return 0
    check "the output folder refuses new files" "a file could still be created in $OUT" refuses_new_files "$OUT"
}
# Only a run whose folder was locked has its end checked.
check_locked_run() {
    if [[ -n $LOCKED_HOW ]]; then
        check "the run ends" "rows: $rows" [ "$idle_rc" -eq 0 ]
        # The first MP3 was already open and is written whole, but the folder no
        # longer lets it take its name: it fails, and no MP3 stands under that name.
        # The others cannot be created.
        check_failed long_240s "$rows"
        check "no MP3 under a finished name in the locked folder" "$(ls "$OUT")" [ ! -e "$OUT/long_240s.mp3" ]
        check_failed aac_mono_48k "$rows"
        check_failed aac_stereo_video "$rows"
        unlock_folder "$OUT"
        check_not_busy "the window is free again after the unwritable folder"
    elif [[ $(id -u) == 0 ]] && ! may_lock_out_root; then
        skip "the output folder made unwritable mid-run" \
            "root without CAP_LINUX_IMMUTABLE: no lock holds against it here"
    else
        fail "the output folder is made unwritable" "neither the mode bits nor the immutable flag could be set on $OUT"
    fi
}
fresh_start out-readonly
kv_at_exit 'unlock_folder "$RUN/out-readonly"'
run_three lock_out -w 180 -c check_locked_run "own:$LONG_JOB" "${SHORT_JOBS[@]/#/own:}"
kv_cancel_at_exit 'unlock_folder "$RUN/out-readonly"'
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
kv_at_exit restore_temp
for v in TEMP TMP; do wine reg add "$ENV_KEY" /v "$v" /t REG_SZ /d "$NO_TEMP" /f >/dev/null 2>&1; done
start_korvello
said=$(drive add-file "$(winpath "$BUILD/media/aac_mono_48k.mp4")")
rc=$?
restore_temp
kv_cancel_at_exit restore_temp
check "adding a file reports that the batch file cannot be made" "code $rc: $said" \
    [ "$rc" -eq 2 -a "${said%%\". *}" = "$(printf 'MESSAGE\tKorvello\tCannot create file "%s\\open.bat' "$NO_TEMP")" ]
check "no row is added" "rows: $(drive rows)" [ -z "$(drive rows)" ]
# The program keeps the temporary folder it started with: the same refusal again.
check_takes_files "the window takes commands afterwards" "$BUILD/media/aac_mono_48k.mp4" "$said"
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]

echo "== a settings key the user may not change"
fresh_state
OUT=$RUN/out-locked-settings
set_workdir "$OUT"
quiet drive registry-access 'Software\Korvello' read
kv_at_exit "quiet drive registry-access 'Software\\Korvello' full"
# The lock holds: another program cannot write into the key either.
wine reg add 'HKCU\Software\Korvello' /v LockProbe /t REG_SZ /d x /f >/dev/null 2>&1
check "the settings key refuses writing" "reg add could write a value" [ -z "$(reg_value LockProbe)" ]
start_korvello
check "the stored output folder is used" "got '$(drive text Edit3)'" [ "$(drive text Edit3)" = "$(winpath "$OUT")" ]
convert_and_check -w 60 "done:$BUILD/media/aac_mono_48k.mp4"
stop_korvello
quiet drive registry-access 'Software\Korvello' full
kv_cancel_at_exit "quiet drive registry-access 'Software\\Korvello' full"
# With write access the program would have recorded its tool folder at start.
check "the program wrote nothing into the key" "AppDir reads '$(reg_value AppDir)'" [ -z "$(reg_value AppDir)" ]
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
for _ in $(seq 40); do said=$(kv_wrun "$BUILD/kv_outside.exe" close-dialogs); [[ $said == DIALOG* ]] && break; sleep 0.25; done
says_why() { grep -qF '"ffmpeg.exe"' <<<"$said" && grep -qF 'could not set up' <<<"$said"; }
check "the user is told the transcoder could not be set up" "said: $said" says_why
convert_and_check -w 60 -e "the run ends" "failed:$BUILD/media/aac_mono_48k.mp4"
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
convert_and_check -A "a file is still added" -w 60 -e "the run ends" "failed:$BUILD/media/aac_mono_48k.mp4"
rm -f "$APPDIR/mediainfo.exe"
said=$(drive add-file "$(winpath "$BUILD/media/aac_stereo_video.mp4")")
check "without the media reader a file is refused with the bad-header message" "code $?: $said" \
    [ "$said" = $'MESSAGE\tKorvello\tCannot process this file! Bad file header! Please use different file.' ]
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]
check_tools_gone "the remaining tool files are deleted at exit"
