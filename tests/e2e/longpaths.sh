# shellcheck shell=bash
# Paths over 260 characters, for the input and for the MP3. Sourced by run_all.sh.

# -- paths over 260 characters, for the input and for the MP3.
echo "== paths over 260 characters"
fresh_state
segment=$(printf 'long folder name %.0s' 1 2 3 | tr ' ' _) # 51 characters
LONG_IN=$RUN/$segment/$segment/$segment
LONG_OUT=$RUN/$segment/$segment/$segment/out_$segment
mkdir -p "$LONG_IN" "$LONG_OUT"
LONG_NAME="a file name that on its own is long enough to take the whole path past two hundred and sixty characters"
cp "$BUILD/media/aac_mono_48k.mp4" "$LONG_IN/$LONG_NAME.mp4"
long_input=$(winpath "$LONG_IN/$LONG_NAME.mp4") long_mp3=$(winpath "$LONG_OUT/$LONG_NAME.mp3")
check "the input path is over 260 characters" "${#long_input}" [ "${#long_input}" -gt 260 ]
check "the MP3 path is over 260 characters" "${#long_mp3}" [ "${#long_mp3}" -gt 260 ]
set_workdir "$LONG_OUT"
start_korvello
add_long_folder() {
    added=$(drive add-folder "$(winpath "$LONG_IN")" 60)
    check "a file with a long path is added" "code $?: $added" \
        [ "$added" = "$(printf 'MP4\t%s\tPending\t\tX' "$LONG_NAME")" ]
}
convert_and_check -a add_long_folder -w 120 -e "the run ends" -o "$LONG_OUT" "done:$LONG_IN/$LONG_NAME.mp4"
stop_korvello
check "the program ends with code 0" "code $?" [ $? -eq 0 ]
