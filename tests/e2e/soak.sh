# shellcheck shell=bash
# shellcheck disable=SC2154 # rows, idle_rc and run_seconds: set by convert_and_check (run_all.sh)
# Many files: a folder of 300 short MP4 files added through "Add Folder" and
# converted in one run. Every file must come out, and the program's memory and
# handle count at the end must stay within a few percent of their values after
# the first ten files: a leak of one handle or one buffer per file shows.
# Sourced by run_all.sh.

echo "== 300 files in one run"
SOAK_FILES=${SOAK_FILES:-300}
fresh_state
OUT=$RUN/out-soak
IN=$RUN/in-soak
mkdir -p "$IN"
for i in $(seq -w 1 "$SOAK_FILES"); do cp "$MEDIA/one_second.mp4" "$IN/clip $i.mp4"; done
set_workdir "$OUT"
start_korvello
add_soak_folder() {
    local t0=$SECONDS rc
    added=$(drive add-folder "$(winpath "$IN")" 900)
    rc=$?
    echo "   adding $SOAK_FILES files: $((SECONDS - t0)) s"
    check "the folder of $SOAK_FILES files is added" "code $rc, $(wc -l <<<"$added") rows" \
        [ "$rc" -eq 0 -a "$(grep -c $'\tPending\t' <<<"$added")" = "$SOAK_FILES" ]
}

# Anonymous memory of the Wine process (the heap and the like), and open handles.
sample() { # label
    local anon handles
    anon=$(awk '/^RssAnon:/ { print $2 }' "/proc/$KPID/status" 2>/dev/null)
    handles=$(drive handles)
    echo "$1 ${anon:-0} ${handles:-0}"
}
done_count() { drive rows | grep -c $'\tDone\t'; }
wait_done() { # count seconds
    local end=$((SECONDS + $2))
    while (($(done_count) < $1)); do
        ((SECONDS < end)) || return 1
        sleep 0.5
    done
}

# Samples after ten files and half-way.
watch_soak() {
    check "the first ten files are done" "rows: $(drive rows | head -n 12)" wait_done 10 120
    read -r _ anon10 handles10 < <(sample after-10)
    wait_done $((SOAK_FILES / 2)) 900
    read -r _ anon_half handles_half < <(sample half-way)
}
within() { # value reference percent slack: value <= reference * (1 + percent/100) + slack
    awk -v v="$1" -v r="$2" -v p="$3" -v s="$4" 'BEGIN { exit !(v > 0 && r > 0 && v <= r * (1 + p / 100) + s) }'
}
check_soak() {
    echo "   converting $SOAK_FILES files: $run_seconds s"
    check "the run ends" "$(grep -vc $'\tDone\t' <<<"$rows") rows not done" [ "$idle_rc" -eq 0 ]
    read -r _ anon_end handles_end < <(sample end)
    echo "   memory (RssAnon, KiB) after 10 / half-way / end: $anon10 / $anon_half / $anon_end"
    echo "   handles after 10 / half-way / end: $handles10 / $handles_half / $handles_end"

    check "every row reads Done with MP3" "$(grep -vc $'\tDone\tMP3\t' <<<"$rows") rows otherwise" \
        [ "$(grep -c $'\tDone\tMP3\t' <<<"$rows")" = "$SOAK_FILES" ]
    good=$(cd "$OUT" &&
        mediainfo --Inform='Audio;%Format% %SamplingRate% %Channel(s)% %BitRate%\n' ./*.mp3 2>/dev/null |
        grep -c '^MPEG Audio 44100 2 128000$')
    check "every file has a 44100 Hz stereo 128 kbit/s MP3" "$good of $SOAK_FILES" [ "$good" = "$SOAK_FILES" ]
    # After ten files a transcoder runs; at the end none does: its process and
    # thread handles and its wait are the few handles of slack.
    check "handles at the end are within 5 % of those after ten files" "$handles10 -> $handles_end" \
        within "$handles_end" "$handles10" 5 4
    check "memory at the end is within 5 % of that after ten files" "$anon10 -> $anon_end KiB" \
        within "$anon_end" "$anon10" 5 0
}
# The folder's files are checked together: every row Done, every MP3 good.
convert_and_check -a add_soak_folder -d watch_soak -w 1800 -c check_soak
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]
