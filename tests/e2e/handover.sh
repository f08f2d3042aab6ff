# shellcheck shell=bash
# shellcheck disable=SC2154 # rows, idle_rc and run_seconds: set by convert_and_check (run_all.sh)
# Files handed to the program from outside: many copies started at once (as
# Explorer starts one per selected file), a running copy that converts, shows
# a dialog or is minimized, a drop during a run, text built to break out of a
# command line, and a tool file planted read-only. Sourced by run_all.sh.

row_count() { grep -c . <<<"$1"; }
IN=$RUN/handover
mkdir -p "$IN"
for i in $(seq -w 1 32); do cp "$BUILD/media/aac_mono_48k.mp4" "$IN/clip $i.mp4"; done

# Starts one copy per file, all at once, each in the background; their pids in STARTED.
STARTED=()
start_copies() { # first last
    local i
    STARTED=()
    for i in $(seq -w "$1" "$2"); do
        wine "$EXE" "$(winpath "$IN/clip $i.mp4")" </dev/null >>"$LOG" 2>&1 &
        STARTED+=($!)
    done
}
# Waits for every started copy; ENDED_WELL: how many ended with code 0. (Not
# in a subshell: only this shell can wait for its own children.)
ENDED_WELL=0
wait_copies() {
    local pid
    ENDED_WELL=0
    for pid in "${STARTED[@]}"; do kv_wait_pid "$pid" 90 && ENDED_WELL=$((ENDED_WELL + 1)); done
}

echo "== 32 copies started at once"
fresh_state
OUT=$RUN/out-handover
set_workdir "$OUT"
t0=$(date +%s%N)
start_copies 01 32
quiet drive wait-window 120
first=$(drive wait-window 5)
rows=$(wait_rows 32 180)
t1=$(date +%s%N)
echo "32 starts to the 32nd row: $(((t1 - t0) / 1000000)) ms" | tee -a "$E2E/handover-timing.txt"
check "32 copies give 32 rows in one window" "$(row_count "$rows") rows: $rows" [ "$(row_count "$rows")" = 32 ]
check "each file once" "names: $(cut -f2 <<<"$rows" | sort | uniq -d)" \
    [ "$(cut -f2 <<<"$rows" | sort -u | grep -c .)" = 32 ]
check "one copy runs" "$(drive count-instances) copies" [ "$(drive count-instances)" = 1 ]
# The first copy stays; every other start must have ended by itself.
alive() { local pid n=0; for pid in "${STARTED[@]}"; do kill -0 "$pid" 2>/dev/null && n=$((n + 1)); done; echo "$n"; }
for _ in $(seq 360); do [[ $(alive) -le 1 ]] && break; sleep 0.25; done
ended=0
for pid in "${STARTED[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then KPID=$pid; elif wait "$pid"; then ended=$((ended + 1)); fi
done
check "31 copies ended by themselves with code 0" "$ended of 31" [ "$ended" = 31 ]
left=$(drive wait-window 5)
check "the window is still the first copy's" "process $left, first $first" [ -n "$first" -a "$left" = "$first" ]
check "exactly one of the 32 started processes still runs" "$(alive) running" [ "$(alive)" = 1 -a -n "$KPID" ]

echo "== copies started while the first one converts, and while it shows a dialog"
# The 32 files came with the copies.
check_all_32() {
    check "the 32 rows convert" "rows: $(grep -vc Done <<<"$rows") not done" \
        [ "$(grep -c $'\tDone\tMP3\t' <<<"$rows")" = 32 ]
    check "all 32 MP3 files are written" "$(find "$OUT" -name 'clip *.mp3' | wc -l) files" \
        [ "$(find "$OUT" -name 'clip *.mp3' | wc -l)" = 32 ]
}
convert_and_check -a : -w 600 -c check_all_32 "done:$IN/clip 01.mp4"
# A long file keeps the next run going while copies start.
add_then_count() { # path...
    add_files "$@"
    before=$(row_count "$(drive rows)")
}
copies_during_run() {
    check "the run is under way" "rows: $(drive rows | tail -n 1)" quiet drive wait-running 120
    start_copies 01 08
    wait_copies
    check "8 copies started during the run end with code 0" "$ENDED_WELL of 8" [ "$ENDED_WELL" = 8 ]
    during=$(drive rows)
    check "nothing is added while the run goes on" \
        "$(row_count "$during") rows, long_900s: $(row_of long_900s "$during")" \
        [ "$(row_count "$during")" = "$before" -a "$(row_of long_900s "$during" | cut -f3)" != Done ]
}
check_copies_added() {
    check "the run ends" "code $idle_rc, rows: $(tail -n 1 <<<"$rows")" [ "$idle_rc" -eq 0 ]
    rows=$(wait_rows $((before + 8)) 60)
    check "the files handed over during the run are added at its end, pending" "rows: $(tail -n 8 <<<"$rows")" \
        [ "$(row_count "$rows")" = $((before + 8)) -a "$(tail -n 8 <<<"$rows" | cut -f3 | sort -u)" = Pending ]
}
convert_and_check -a add_then_count -d copies_during_run -w 900 -c check_copies_added "own:$MEDIA/long_900s.mp4"

before=$(row_count "$(drive rows)")
check "the file dialog opens" "" quiet outside open-file-dialog
start_copies 09 12
wait_copies
check "4 copies started while a dialog is open end with code 0" "$ENDED_WELL of 4" [ "$ENDED_WELL" = 4 ]
check "nothing is added behind the dialog" "$(row_count "$(drive rows)") rows" \
    [ "$(row_count "$(drive rows)")" = "$before" ]
quiet outside close-dialogs
rows=$(wait_rows $((before + 4)) 60)
check "they are added once it closes" "$(row_count "$rows") rows" [ "$(row_count "$rows")" = $((before + 4)) ]

echo "== a minimized first copy"
before=$(row_count "$(drive rows)")
state=$(outside minimize)
check "the window minimizes" "state: $state" [ "$state" = "minimized hidden" ]
timeout 60 wine "$EXE" "$(winpath "$IN/clip 13.mp4")" </dev/null >>"$LOG" 2>&1
rc=$?
check "a later copy with a file ends with code 0" "code $rc" [ "$rc" -eq 0 ]
for _ in $(seq 40); do [[ $(outside state) == "normal shown" ]] && break; sleep 0.25; done
check "the minimized first copy is restored and shows its window" "state: $(outside state)" \
    [ "$(outside state)" = "normal shown" ]
rows=$(wait_rows $((before + 1)) 60)
check "its file is added" "last: $(tail -n 1 <<<"$rows")" [ "$(tail -n 1 <<<"$rows" | cut -f2)" = "clip 13" ]

echo "== a drop during a run"
# The rows waiting from above convert first; then the long file alone, so the
# drop surely comes while it runs.
drive convert >/dev/null
quiet drive wait-idle 600
long_running() { [[ $(row_of long_900s "$(drive rows | tail -n 1)" | cut -f3) == *"% Done" ]]; }
drop_during_run() {
    for _ in $(seq 480); do long_running && break; sleep 0.25; done
    check "the long file is converting" "row: $(drive rows | tail -n 1)" long_running
    said=$(outside drop "$(winpath "$IN/clip 14.mp4")")
    check "a file is dropped on the window" "$said" [ "$said" = DROPPED ]
    sleep 1
    check "the drop is not added during the run" "$(row_count "$(drive rows)") rows" \
        [ "$(row_count "$(drive rows)")" = "$before" ]
    # The drop arrives as the run ends and stays Pending: waiting for no
    # pending row would wait for good, so the run's end is the long file's.
    for _ in $(seq 1200); do [[ $(row_of long_900s "$(drive rows)" | tail -n 1 | cut -f3) == Done ]] && break; sleep 0.25; done
}
check_drop_added() {
    rows=$(wait_rows $((before + 1)) 60)
    check "the drop is added when the run ends" "last: $(tail -n 1 <<<"$rows")" \
        [ "$(tail -n 1 <<<"$rows")" = "$(printf 'MP4\tclip 14\tPending\t\tX')" ]
}
convert_and_check -a add_then_count -d drop_during_run -w 1 -c check_drop_added "own:$MEDIA/long_900s.mp4"

echo "== nothing handed over runs as a command"
PWNED_WIN='C:\pwned.txt'
PWNED=$(unixpath "$PWNED_WIN")
rm -f "$PWNED"
before=$(row_count "$(drive rows)")
# No path in it could name a file: the first copy takes nothing, and the later
# copy tells its user so.
wine "$EXE" 'C:\x" & echo pwned > C:\pwned.txt & ".mp4' </dev/null >>"$LOG" 2>&1 &
LATER=$!
said=$(drive answer-box 60)
check "a later copy given a command in a name tells its user nothing was taken" "said: $said" \
    grep -q 'did not take the files' <<<"$said"
kv_wait_pid "$LATER" 30
rc=$?
check "and ends with code 1" "code $rc" [ "$rc" -eq 1 ]
said=$(outside hand-over 'C:\x" & echo pwned > C:\pwned.txt & ".mp4' 'C:\y.mp4 & echo pwned > C:\pwned.txt')
check "the same text in a WM_COPYDATA from another program is refused" "$said" [ "$said" = REFUSED ]
sleep 2
check "nothing ran: no C:\\pwned.txt" "$(ls -la "$PWNED" 2>&1)" [ ! -e "$PWNED" ]
check "no row and no message for it" "rows: $(drive rows | tail -n 2)" [ "$(row_count "$(drive rows)")" = "$before" ]
# Real files whose names would run a command if the quotes broke: the first
# goes through the batch file, the second (with "%" and "!") to the reader directly.
TRAP1="$IN/c & copy nul pwned2.txt & d ^ (2).mp4"
TRAP2="$IN/a & copy nul pwned3.txt & b %PATH% !x! ^ (1).mp4"
cp "$BUILD/media/aac_mono_48k.mp4" "$TRAP1"
cp "$BUILD/media/aac_mono_48k.mp4" "$TRAP2"
quiet outside hand-over "$(winpath "$TRAP1")" "$(winpath "$TRAP2")"
rows=$(wait_rows $((before + 2)) 60)
check "files so named are added with their durations" "rows: $(tail -n 2 <<<"$rows")" \
    [ "$(tail -n 2 <<<"$rows" | cut -f2 | tr '\n' '|')" = "c & copy nul pwned2.txt & d ^ (2)|a & copy nul pwned3.txt & b %PATH% !x! ^ (1)|" ]
ran=$(find "$WINEPREFIX/drive_c" "$IN" "$BUILD" -maxdepth 6 -name 'pwned[23].txt' 2>/dev/null | head -1)
check "and nothing ran" "found $ran" [ -z "$ran" ]
stop_korvello
stop_rc=$?
check "the program ends with code 0" "code $stop_rc" [ "$stop_rc" -eq 0 ]

echo "== a tool file planted read-only"
fresh_state
mkdir -p "$APPDIR"
rm -f "$APPDIR/ffmpeg.exe"
printf 'planted' >"$APPDIR/ffmpeg.exe"
quiet outside plant "$(winpath "$APPDIR/ffmpeg.exe")"
planted_attrs=$(drive attrs "$(winpath "$APPDIR/ffmpeg.exe")")
check "the planted file is read-only and hidden" "attributes: $planted_attrs" \
    [ "${planted_attrs#readonly hidden}" != "$planted_attrs" ]
OUT=$RUN/out-planted
set_workdir "$OUT"
start_korvello
start_rc=$?
check "the program starts" "code $start_rc" [ "$start_rc" -eq 0 ]
check "the planted file is replaced by the program's own" "compared with $TOOLS_SRC" tools_as_embedded
convert_and_check -w 120 "done:$BUILD/media/aac_mono_48k.mp4"
stop_korvello
stop_rc=$?
check "the program ends with code 0" "code $stop_rc" [ "$stop_rc" -eq 0 ]
check_tools_gone "the tool files are deleted at exit"
