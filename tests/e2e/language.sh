# shellcheck shell=bash
# The real program in the user's language: started on a Japanese Windows (as
# Wine takes it from LANG), its buttons, list heads and a message box speak
# Japanese and its banner's words differ from English's; the Language choice
# overrides the display language. Sourced by run_all.sh.

lang_text() { # tag id -> the text of that language's table
    sed -n "s/^$2 = //p" "$ROOT/src/app/lang/$1.txt" | head -n 1
}
# The banner's place on the screen, as a picture.
shoot_banner() { # file
    local wx wy ww wh
    read -r wx wy ww wh < <(drive window-rect)
    [[ -n ${wh:-} ]] && import -window root -crop "198x45+$((wx + 280))+$((wy + 381))" +repage "$1" 2>/dev/null
}

fresh_state
start_korvello
shoot_banner "$RUN/banner-en.png"
check "English by default: Button1 reads \"&Add MP4 File\"" "got '$(drive text Button1)'" \
    [ "$(drive text Button1)" = "&Add MP4 File" ]
stop_korvello

LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 start_korvello
for pair in Button1:AddFileButton Button2:AddFolderButton Button3:BrowseButton; do
    want=$(lang_text ja "${pair#*:}")
    check "Japanese Windows: ${pair%%:*} reads \"$want\"" "got '$(drive text "${pair%%:*}")'" \
        [ "$(drive text "${pair%%:*}")" = "$want" ]
done
refused=$(drive add-file "$(winpath "$BUILD/media/zero.mp4")")
check "a refused file's message box is in Japanese" "got: $refused" \
    grep -qF -- "$(lang_text ja BadHeaderMessage)" <<<"$refused"
shoot_banner "$RUN/banner-ja.png"
check "the banner's words are drawn in Japanese: its picture differs from English's" "" \
    bash -c '[ -s "$1" ] && [ -s "$2" ] && ! cmp -s <(convert "$1" rgb:-) <(convert "$2" rgb:-)' _ \
    "$RUN/banner-en.png" "$RUN/banner-ja.png"
stop_korvello

# The stored choice outranks Windows' display language.
wine reg add 'HKCU\Software\Korvello' /v Language /t REG_SZ /d pt-BR /f >/dev/null 2>&1
LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 start_korvello
check "Language pt-BR on a Japanese Windows: Portuguese" "got '$(drive text Button3)'" \
    [ "$(drive text Button3)" = "$(lang_text pt-BR BrowseButton)" ]
stop_korvello
wine reg delete 'HKCU\Software\Korvello' /v Language /f >/dev/null 2>&1
