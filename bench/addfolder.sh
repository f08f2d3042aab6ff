#!/usr/bin/env bash
# Add Folder: the time the window takes to add a folder of 200 MP4 files,
# probed several at once, against the same 200 probes run one at a time
# through the batch file as the probe writes it (the design's floor); and how
# long the window took at most to answer during the adding of 1,000 files.
# Writes $BENCH/section-addfolder.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
FOLDER_FILES=${BENCH_FOLDER_FILES:-200}
BIG=${BENCH_BIG_FOLDER_FILES:-1000}
ensure_tools
ensure_batch_media
make_folder() { # count -> the folder's path
    local dir=$BENCH/folder-$1 i
    if [[ ! -f $dir/.complete ]]; then
        rm -rf "$dir"
        mkdir -p "$dir"
        for i in $(seq -w 1 "$1"); do cp "$BENCH/media/clip_01.mp4" "$dir/clip $i.mp4"; done
        touch "$dir/.complete"
    fi
    echo "$dir"
}
DIR=$(make_folder "$FOLDER_FILES")
BIG_DIR=$(make_folder "$BIG")
MI=$(winpath "$TOOLS/mediainfo.exe")
CPUS=$(nproc)

add_folder() { # folder -> kv_drive's output; checks every file became a row
    local added rows
    added=$(drive add-folder --timing "$(winpath "$1")" 3600) || die "the program did not take $1"
    rows=$(grep -c $'\tPending\t' <<<"$added")
    [[ $rows == "$2" ]] || die "the folder gave $rows rows, not $2"
    echo "$added"
}
mkdir -p "$BENCH/out-folder"
bench_start "$BENCH/out-folder"
added=$(add_folder "$DIR" "$FOLDER_FILES")
held=$(awk '$1 == "add_ms" { print $2 }' <<<"$added")
anon=$(awk '/^RssAnon:/ { print $2 }' "/proc/$KPID/status")
stop_korvello
bench_start "$BENCH/out-folder"
big=$(add_folder "$BIG_DIR" "$BIG")
big_ms=$(awk '$1 == "add_ms" { print $2 }' <<<"$big")
slowest=$(awk '$1 == "slowest_answer_ms" { print $2 }' <<<"$big")
stop_korvello

# The floor: for each file the probe's four-line batch file, run as the
# program runs it (its own hidden console, in a job), timed inside Wine.
ANSWER=$BENCH/duration_time.txt
BAT=$BENCH/open.bat
floor=0
for f in "$DIR"/*.mp4; do
    printf 'set filein="%s"\r\nset fileout="%s"\r\nset mediainfo="%s"\r\n%%mediainfo%% --Inform=General;%%%%Duration/String3%%%% %%filein%% > %%fileout%%\r\n' \
        "$(winpath "$f")" "$(winpath "$ANSWER")" "$MI" >"$BAT"
    ms=$(drive time-run 1 --new-console --hidden --job "$(winpath "$BAT")" | awk '$1 == "run_ms" { print $2 }')
    grep -q '^00:' "$ANSWER" || die "the floor's batch file gave no duration for $f"
    floor=$((floor + ${ms:-0}))
done
r=$(ratio "$held" "$floor")
target=$([[ $CPUS -ge 8 ]] && echo 0.25 || echo 0.6)

cat >"$BENCH/summary-addfolder.md" <<MD
| Add Folder of $FOLDER_FILES files | $held ms | $floor ms, the probe's batch file on each file in turn | $r | at most $target: $(verdict "$r" "$target") |
| Adding $BIG files: the window's slowest answer | $slowest ms | | | at most 250 ms: $(verdict "$slowest" 250) |
MD
cat >"$BENCH/section-addfolder.md" <<MD
## (d) Add Folder

**Program**: "Add Folder" on a folder of $FOLDER_FILES MP4 files of 60 s; the time from the press of
OK in the folder picker until every row is listed and the program's message loop is back. The
files are probed several at once ($CPUS logical processors here), the window painted and
counting "Adding n of $FOLDER_FILES".
**Floor**: the probe's own four-line batch file written for each of the $FOLDER_FILES files and run
as the program runs it (a hidden console of its own, in a job object), one at a time, each
timed inside Wine from process creation to exit, summed.

| | total (ms) | per file (ms) | ratio |
|---|---|---|---|
| Korvello, Add Folder | $held | $((held / FOLDER_FILES)) | $r (target at most $target) |
| the batch file, one at a time | $floor | $((floor / FOLDER_FILES)) | 1.00 |

Adding $BIG files took $big_ms ms; kv_drive asked the window a question (a sent message) every
100 ms all the while, and the slowest answer took **$slowest ms** (target: at most 250 ms).

Anonymous memory of the program with the $FOLDER_FILES rows listed: $anon KiB (RssAnon of the Wine process).
MD
