#!/usr/bin/env bash
# Add Folder: the time the window is held while a folder of 200 MP4 files is
# probed, against the media reader run directly on each file one after another.
# Writes $BENCH/section-addfolder.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
FILES=${BENCH_FOLDER_FILES:-200}
ensure_tools
ensure_batch_media
DIR=$BENCH/folder-$FILES
if [[ ! -f $DIR/.complete ]]; then
    rm -rf "$DIR"
    mkdir -p "$DIR"
    for i in $(seq -w 1 "$FILES"); do cp "$BENCH/media/clip_01.mp4" "$DIR/clip $i.mp4"; done
    touch "$DIR/.complete"
fi
MI=$(winpath "$TOOLS/mediainfo.exe")

mkdir -p "$BENCH/out-folder"
bench_start "$BENCH/out-folder"
added=$(drive add-folder --timing "$(winpath "$DIR")" 1800) || die "the program did not take the folder"
rows=$(grep -c $'\tPending\t' <<<"$added")
[[ $rows == "$FILES" ]] || die "the folder gave $rows rows, not $FILES"
held=$(awk '$1 == "add_ms" { print $2 }' <<<"$added")
anon=$(awk '/^RssAnon:/ { print $2 }' "/proc/$KPID/status")
stop_korvello

# The baseline: the reader on each file, each run timed from process creation to exit.
direct=0
for f in "$DIR"/*.mp4; do
    ms=$(drive time-run 1 "$MI" "--Inform=General;%Duration/String3%" "$(winpath "$f")" |
        awk '$1 == "run_ms" { print $2 }')
    direct=$((direct + ${ms:-0}))
done

cat >"$BENCH/summary-addfolder.md" <<MD
| Add Folder of $FILES files (window held) | $held ms | $direct ms, mediainfo.exe on each file directly | $(ratio "$held" "$direct") | |
MD
cat >"$BENCH/section-addfolder.md" <<MD
## (d) Add Folder

**Program**: "Add Folder" on a folder of $FILES MP4 files of 60 s; the time from the press of
OK in the folder picker until the program's message loop is back (kv_drive posts a message
after the picker closes and waits until the window has handled it). All that time the
window handles no input: each file is probed in turn.
**Baseline**: \`mediainfo.exe --Inform=General;%Duration/String3% file\` started directly on
each of the $FILES files in turn, each timed inside Wine from process creation to exit, summed.

| | total (ms) | per file (ms) | ratio |
|---|---|---|---|
| Korvello, Add Folder | $held | $((held / FILES)) | $(ratio "$held" "$direct") |
| mediainfo.exe, direct | $direct | $((direct / FILES)) | 1.00 |

Anonymous memory of the program with the $FILES rows listed: $anon KiB (RssAnon of the Wine process).
MD
