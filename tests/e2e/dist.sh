# shellcheck shell=bash
# The release zip as a user gets it: its name, checksum and contents, what its
# THIRD-PARTY.md and README.txt say, and the program unpacked from it into a
# folder whose path has blanks, converting a file there. Sourced by run_all.sh.

# ---- a. the zip and its checksum ----------------------------------------------------------

echo "== the release zip"
DIST_VERSION=$(sed -nE 's/^project\(Korvello VERSION ([0-9.]+).*/\1/p' "$ROOT/CMakeLists.txt")
DIST_NAME=korvello-$DIST_VERSION-win64.zip
ZIP=$BUILD/dist/$DIST_NAME
check "the zip is named after the project's version ($DIST_NAME)" "no $ZIP" [ -s "$ZIP" ]
check "a SHA-256 file lies beside it" "no $ZIP.sha256" [ -s "$ZIP.sha256" ]
sha_line=$(cat "$ZIP.sha256" 2>/dev/null)
want_line="$(sha256sum <"$ZIP" | cut -d' ' -f1)  $DIST_NAME"
check "the SHA-256 file is sha256sum's line for the zip" "got '$sha_line', want '$want_line'" \
    [ "$sha_line" = "$want_line" ]
check "sha256sum -c accepts the zip beside its SHA-256 file" "" \
    bash -c 'cd "$1" && sha256sum -c --status "$2"' _ "$BUILD/dist" "$DIST_NAME.sha256"
check "the zip is whole" "$(unzip -tqq "$ZIP" 2>&1 | head -n 3)" quiet unzip -tqq "$ZIP"

entries=$(unzip -Z1 "$ZIP" 2>/dev/null | LC_ALL=C sort)
for f in korvello.exe korvello_shell.dll korvello-shell.msix README.txt THIRD-PARTY.md; do
    check "the zip holds $f" "entries: $(echo $entries)" grep -qxF "$f" <<<"$entries"
done
check "the zip holds licence texts in licenses/" "entries: $(echo $entries)" grep -q '^licenses/.' <<<"$entries"
# The tool files travel inside korvello.exe only; beside it only Windows 11's
# Explorer entry (its DLL and package), the texts and the licences.
others=$(grep -vxE 'korvello\.exe|korvello_shell\.dll|korvello-shell\.msix|README\.txt|THIRD-PARTY\.md|licenses/[^/]+' <<<"$entries")
check "the zip holds nothing else" "also: $(echo $others)" [ -z "$others" ]

# ---- b. unpacked below a folder with blanks -------------------------------------------------

DIST_ROOT_WIN='C:\Program Files Test'
DIST_WIN="$DIST_ROOT_WIN\\Korvello $DIST_VERSION"
DIST_DIR=$(unixpath "$DIST_WIN")
DIST_ROOT=$(unixpath "$DIST_ROOT_WIN")
rm -rf "$DIST_ROOT"
kv_at_exit 'rm -rf "$DIST_ROOT"'
mkdir -p "$DIST_DIR"
unzip -q "$ZIP" -d "$DIST_DIR"
check "the zip unpacks into '$DIST_WIN'" "nothing in $DIST_DIR" [ -s "$DIST_DIR/korvello.exe" ]
check "the program in the zip is this build's korvello.exe" "" cmp -s "$DIST_DIR/korvello.exe" "$BUILD/korvello.exe"

# ---- c. THIRD-PARTY.md and the licence texts ------------------------------------------------

TP=$DIST_DIR/THIRD-PARTY.md
named=$(grep -oE 'licenses/[A-Za-z0-9._+-]+' "$TP" 2>/dev/null | LC_ALL=C sort -u)
held=$(cd "$DIST_DIR" && find licenses -type f 2>/dev/null | LC_ALL=C sort)
missing=$(LC_ALL=C comm -23 <(echo "$named") <(echo "$held"))
unnamed=$(LC_ALL=C comm -13 <(echo "$named") <(echo "$held"))
check "THIRD-PARTY.md names licence texts" "none named" [ -n "$named" ]
check "each licence text THIRD-PARTY.md names is in the zip" "missing: $(echo $missing)" [ -z "$missing" ]
check "THIRD-PARTY.md names each licence text of the zip" "not named: $(echo $unnamed)" [ -z "$unnamed" ]
empty=$(cd "$DIST_DIR" && find licenses -type f -empty)
check "no licence text is empty" "empty: $(echo $empty)" [ -z "$empty" ]
check "the licence texts are those the tools build took from the sources" "differ from $TOOLS_SRC/licenses" \
    quiet diff -r -q "$DIST_DIR/licenses" "$TOOLS_SRC/licenses"
left=$(grep -oE '@[A-Z_]+(:[a-z0-9.+-]+)?@' "$TP" "$DIST_DIR/README.txt" | head -n 3)
check "THIRD-PARTY.md and README.txt have every blank filled in" "left: $(echo $left)" [ -z "$left" ]
for c in FFmpeg LAME zlib winpthreads MediaInfoLib ZenLib 'MediaInfo command-line' 'GCC runtime' 'MinGW-w64 runtime'; do
    check "THIRD-PARTY.md lists $c" "" grep -qE "^\| $c" "$TP"
done
# Each source package with the exact version the tools were built from, and the toolchain's.
while read -r kind pkg ver _; do
    case $kind in source | toolchain) ;; *) continue ;; esac
    check "THIRD-PARTY.md names Debian's source package $pkg $ver" "" grep -qF "\`$pkg\` $ver" "$TP"
done <"$TOOLS_SRC/manifest.txt"

# ---- d. README.txt ------------------------------------------------------------------------------

RM=$DIST_DIR/README.txt
check "README.txt names the version" "first line: $(head -n 1 "$RM")" \
    [ "$(head -n 1 "$RM" | tr -d '\r')" = "Korvello $DIST_VERSION" ]
# What it says about folders and the settings key is checked against the program below.
for s in 'Documents\Korvello' 'HKEY_CURRENT_USER\Software\Korvello' '%APPDATA%\Korvello' Mp3Quality FilesAtOnce \
    WhenMp3Exists; do
    check "README.txt names $s" "" grep -qwF "$s" "$RM"
done

# ---- e. the unpacked program ----------------------------------------------------------------------

echo "== the program unpacked from the zip"
fresh_state
rm -rf "$APPDIR"
PROFILE_WIN=$(wrun cmd /c echo %USERPROFILE% 2>/dev/null)
PROFILE=$(unixpath "$PROFILE_WIN")
DEFAULT_OUT_WIN="$PROFILE_WIN\\Documents\\Korvello\\"
DEFAULT_OUT=$(unixpath "$DEFAULT_OUT_WIN")
# The default folder may be shared with other prefixes (Wine links Documents to
# the home folder): a name of this run's own.
DIST_INPUT_NAME="release check $$"
cp "$MEDIA/two words.mp4" "$RUN/$DIST_INPUT_NAME.mp4"
in_default_out=$DEFAULT_OUT/$DIST_INPUT_NAME.mp3
rm -f "$in_default_out"
kv_at_exit 'rm -f "$in_default_out"'
korvello_paths() { (cd "$PROFILE" && find . -ipath '*korvello*' | LC_ALL=C sort); }
paths_before=$(korvello_paths)

BUILD_EXE=$EXE
EXE="$DIST_WIN\\korvello.exe"
start_korvello
check "the unpacked korvello.exe starts from '$DIST_WIN'" "no window within 60 s" [ $? -eq 0 ]
out_value=$(reg_value WorkDir)
check "the output folder is Documents\\Korvello, as README.txt says" "WorkDir '$out_value'" \
    [ "${out_value,,}" = "${DEFAULT_OUT_WIN,,}" ]
check "the window shows that output folder" "got '$(drive text Edit3)'" [ "$(drive text Edit3)" = "$out_value" ]
app_value=$(reg_value AppDir)
check "the tool folder is %APPDATA%\\Korvello, as README.txt says" "AppDir '$app_value'" \
    [ "${app_value,,}" = "${APPDATA_WIN,,}\\korvello\\" ]
check "the unpacked program writes its five tool files there, hidden" "in $APPDIR" tools_present_hidden
check "they are the tool files the build embedded" "compared with $TOOLS_SRC" tools_as_embedded

add_dist_input() { # path
    added=$(drive add-file "$(winpath "$1")")
    check "Add MP4 File adds an MP4" "code $?: $added" \
        [ "$added" = "$(printf 'MP4\t%s\tPending\t\tX' "$DIST_INPUT_NAME")" ]
}
# The MP3 goes to the default output folder.
convert_and_check -a add_dist_input -e "the run ends" -o "$DEFAULT_OUT" "done:$RUN/$DIST_INPUT_NAME.mp4"
stop_korvello
check "the unpacked program ends with code 0" "code $?" [ $? -eq 0 ]
EXE=$BUILD_EXE
check_tools_gone "its tool files are deleted when it closes"
stray=$(find "$APPDIR" -mindepth 1 2>/dev/null)
check "the tool folder stays, empty, for the user to delete" "in $APPDIR: $(echo $stray)" \
    [ -d "$APPDIR" -a -z "$stray" ]

# Uninstalling as README.txt says leaves nothing: all the program made is in the places it names.
new_paths=$(LC_ALL=C comm -13 <(echo "$paths_before") <(korvello_paths) |
    grep -viE '^\./(Documents/Korvello|AppData/Roaming/Korvello)(/|$)')
check "every file or folder of Korvello in the user folder is one README.txt names" \
    "also: $(echo $new_paths)" [ -z "$new_paths" ]
wrun reg export HKCU "$(winpath "$RUN/hkcu.reg")" /y >/dev/null 2>&1
keys=$(iconv -f UTF-16 -t UTF-8 "$RUN/hkcu.reg" 2>/dev/null | tr -d '\r' | grep -i '^\[.*korvello')
check "the only registry key of Korvello is the one README.txt names" "keys: $(echo $keys)" \
    [ "$keys" = '[HKEY_CURRENT_USER\Software\Korvello]' ]
