#!/usr/bin/env bash
# Start-up: process start to a shown, answering main window, for korvello.exe
# and for a bare Win32 window program; plus the time that writing the five
# tool files costs. Writes $BENCH/section-startup.md.
set -uo pipefail
source "$ROOT/bench/common.sh"
RUNS=${BENCH_START_RUNS:-10}
ensure_tools

# The baselines are targets of the Windows build (korvello_bench): a bare
# window; the same with the program's manifest and system libraries; and that
# also carrying the five tool files as resources, as korvello.exe does.
BARE=$BUILD/bare_window.exe
LIBS=$BUILD/bare_window_libs.exe
BIG=$BUILD/bare_window_tools.exe
for f in "$BARE" "$LIBS" "$BIG"; do
    [[ -f $f ]] || die "missing $f (make bench builds it: cmake --build $BUILD --target korvello_bench)"
done

mkdir -p "$BENCH/out-start"
wrun reg delete 'HKCU\Software\Korvello' /f >/dev/null 2>&1
wrun reg add 'HKCU\Software\Korvello' /v WorkDir /t REG_SZ /d "$(winpath "$BENCH/out-start")" /f >/dev/null 2>&1
launch() { # exe class how
    drive launch-time "$(winpath "$1")" "$2" 1 "$3" | awk '$1 == "run_ms" { print $2 }'
}
# One start of each first, not counted: it fills the system's file cache. Then the
# three in turn, so that the load of the machine falls on all alike.
prog='' bare='' libs='' big=''
for i in $(seq 0 "$RUNS"); do
    p=$(launch "$EXE" TfrmMain close-button)
    b=$(launch "$BARE" KvBareWindow wm-close)
    l=$(launch "$LIBS" KvBareWindow wm-close)
    g=$(launch "$BIG" KvBareWindow wm-close)
    [[ -n $p && -n $b && -n $l && -n $g ]] || die "start-up runs failed"
    ((i == 0)) && continue
    prog+="$p"$'\n' bare+="$b"$'\n' libs+="$l"$'\n' big+="$g"$'\n'
done
prog=${prog%$'\n'} bare=${bare%$'\n'} libs=${libs%$'\n'} big=${big%$'\n'}

# Writing the tool files: the same five files written hidden into an empty folder.
W=$BENCH/write-test
files=()
for t in ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll; do files+=("$(winpath "$TOOLS/$t")"); done
writes=()
for i in $(seq 1 5); do
    rm -rf "$W"
    mkdir -p "$W"
    writes+=("$(drive write-files "$(winpath "$W")" "${files[@]}" | awk '$1 == "write_ms" { printf "%.1f", $2 }')")
done
rm -rf "$W"
total_kb=$(du -ck "${TOOLS}"/*.exe "${TOOLS}"/*.dll | tail -n 1 | cut -f1)

P=$(median <<<"$prog")
B=$(median <<<"$bare")
L=$(median <<<"$libs")
G=$(median <<<"$big")
R=$(ratio "$P" "$B")
WR=$(printf '%s\n' "${writes[@]}" | median)

cat >"$BENCH/summary-startup.md" <<MD
| start until the window answers | $P ms | $B ms, a bare Win32 window | $R | 1.5 |
MD
cat >"$BENCH/section-startup.md" <<MD
## (c) Start-up

From process creation (\`CreateProcess\` inside Wine, by kv_drive) until the program's main
window is visible and answers a message; the program is then closed (Korvello by its close
button, which also deletes the tool files, so every start writes them anew; the bare program
by \`WM_CLOSE\`). The bare program (\`bench/bare_window.cpp\`, a static target of the Windows
build) registers a class and shows one 503x479 window. $RUNS starts each, in turn, after one
uncounted start of each.

| | runs (ms) | median (ms) |
|---|---|---|
| korvello.exe | $(tr '\n' ' ' <<<"$prog") | $P |
| bare window | $(tr '\n' ' ' <<<"$bare") | $B |
| bare window, with Korvello's manifest and system libraries | $(tr '\n' ' ' <<<"$libs") | $L |
| the same, also carrying the five tool files as resources ($(stat -c %s "$BIG") bytes) | $(tr '\n' ' ' <<<"$big") | $G |

- Ratio Korvello / bare window: **$R** (target <= 1.5: **$(verdict "$R" 1.5)**).
- Ratio Korvello / bare window with the same libraries: **$(ratio "$P" "$L")**. That baseline
  also initialises the themed common controls and OLE, maps the same system libraries and
  makes one list view; what remains is the program's own start (about 30 controls and
  their pictures, the search for another copy, the settings, the tool files). The size of
  the image is compared in the third row: $(ratio "$G" "$L") against the second.
- Writing the five tool files (${total_kb} KiB) hidden into an empty folder, as the program
  does at every start, measured apart (same files, same calls, inside Wine): median **$WR ms**
  of 5 (${writes[*]}).
MD
