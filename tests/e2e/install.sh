# shellcheck shell=bash
# The per-user installer as a user meets it, through Wine's msiexec: a quiet
# install and what it puts where (the program's files, the Start menu
# shortcut, Explorer's two menu entries, the entry among installed programs);
# the file entry run for eight files at once as Explorer runs it, and the
# folder entry; Windows 11's own entry (korvello_shell.dll) on forty files in
# one request, and its package's registration failing, as under Wine it
# must, without failing the installation; the same version again (a repair), a newer one over it, an
# older one refused; uninstall, which leaves the settings and the MP3 files.
# Sourced by run_all.sh.

MSI_VERSION=$(sed -nE 's/^project\(Korvello VERSION ([0-9.]+).*/\1/p' "$ROOT/CMakeLists.txt")
MSI=$BUILD/dist/korvello-$MSI_VERSION-win64.msi
FILE_VERB='SystemFileAssociations\.mp4\shell\Korvello.ConvertToMp3'
FOLDER_VERB='Directory\shell\Korvello.ConvertFolderToMp3'
UNINSTALL_KEYS=('HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall')

msiexec_quiet() { wine msiexec "$@" /qn </dev/null >>"$LOG" 2>&1; }
product_code() { "$ROOT/dist/msi-property.sh" "$1" ProductCode; }
reg_default() { # key -> its default value (REG_SZ), or nothing
    wrun reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -nE 's/^ +\((Default|default)\) +REG_SZ +//p' | head -n 1
}
reg_named() { # key name -> the value, or nothing
    wrun reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]*/, ""); print; exit }'
}
# The installed-programs entry of a product code, in whichever hive holds it.
uninstall_key() { # product-code
    local k
    for k in "${UNINSTALL_KEYS[@]}"; do
        wrun reg query "$k\\$1" >/dev/null 2>&1 && { echo "$k\\$1"; return 0; }
    done
    return 1
}
# The entries named Korvello among installed programs, as Wine's list of them shows.
installed_korvellos() { wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -c '|||Korvello$'; }
absent() { ! "$@" >/dev/null 2>&1; }
# A GUID as the installer's registry keys spell it: each group's digits reversed, the last two groups by byte.
squashed() { # {GUID}
    local g=${1//[\{\}-]/} out i
    out=$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")
    for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
    echo "$out"
}
# The older version goes once the newer one is in (after InstallFinalize).
# Windows keeps each product's value under the upgrade code; Wine's msi, when
# it removes the older product, deletes the upgrade code's whole key and with
# it the newer product's value, so that the next upgrade would not find it.
# Put back as Windows keeps it, and say so in the log.
keep_upgrade_code() { # product-code
    local up product key
    up=$(squashed "{$("$ROOT/dist/msi-property.sh" "$MSI" UpgradeCode | tr -d '{}')}")
    product=$(squashed "$1")
    for key in 'HKCU\Software\Microsoft\Installer\UpgradeCodes' \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes'; do
        wine reg query "$key\\$up" /v "$product" >/dev/null 2>&1 && continue
        echo "install: Wine dropped $1 from $key; put back" >>"$LOG"
        wine reg add "$key\\$up" /v "$product" /t REG_SZ /d '' /f >/dev/null 2>&1
    done
}
first_line() { head -n 1 "$1" 2>/dev/null | tr -d '\r'; }
wait_done() { # count seconds -> the rows once that many read Done
    local rows end=$((SECONDS + $2))
    while ((SECONDS < end)); do
        rows=$(drive rows 2>/dev/null) # no window yet while the first copy starts
        [[ $(grep -c $'\tDone\t' <<<"$rows") -ge $1 ]] && break
        sleep 1
    done
    echo "$rows"
}
close_first_copy() {
    drive close >/dev/null 2>&1
    for _ in $(seq 1 150); do [[ $(drive count-instances) == 0 ]] && return 0; sleep 0.2; done
    return 1
}

echo "== the installer"
check "make dist writes the installer ($(basename "$MSI"))" "no $MSI" [ -s "$MSI" ]
check "its SHA-256 file lies beside it" "" bash -c 'cd "$1" && sha256sum -c --status "$2.sha256"' _ \
    "$BUILD/dist" "$(basename "$MSI")"
check "it needs no administrator rights (summary: per-user, no elevation)" "$(file -b "$MSI")" \
    bash -c 'file -b "$1" | grep -qE "Number of Words: (8|10)([^0-9]|$)"' _ "$MSI"
CODE=$(product_code "$MSI")
check "it has a ProductCode" "got '$CODE'" grep -qE '^\{[0-9A-F-]{36}\}$' <<<"$CODE"
check "winget's manifests describe it and pass winget's schemas" "see $LOG" \
    quiet /usr/bin/python3 "$ROOT/tests/dist/winget_test.py" "$BUILD/dist/winget" "$MSI" "$CODE" "$MSI_VERSION"

echo "== a quiet install"
fresh_state
# A run stopped half-way may have left a build installed.
for c in $(wine uninstaller --list 2>/dev/null | tr -d '\r' | sed -n 's/|||Korvello$//p'); do msiexec_quiet /x "$c"; done
# Windows 11's build number, where the installer reads it, so that it tries to
# register the package: Wine has no package deployment, so that must fail.
BUILD_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
WINE_BUILD=$(reg_named "$BUILD_KEY" CurrentBuildNumber)
kv_at_exit 'wine reg add "$BUILD_KEY" /v CurrentBuildNumber /t REG_SZ /d "${WINE_BUILD:-19045}" /f >/dev/null 2>&1'
wine reg add "$BUILD_KEY" /v CurrentBuildNumber /t REG_SZ /d 22631 /f >/dev/null 2>&1
msiexec_quiet /i "$(winpath "$MSI")" /l*v "$(winpath "$RUN/install.log")"
check "msiexec /i /qn installs it" "code $?" [ $? -eq 0 ]
# The installer's log: UTF-16 where Windows Installer writes Unicode, else bytes of its code page.
msi_log() {
    if [[ $(head -c 2 "$1" | od -An -tx1 | tr -d ' ') == fffe ]]; then
        iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r'
    else
        tr -d '\r\0' <"$1"
    fi
}
registration=$(msi_log "$RUN/install.log" | grep -o "Korvello: Explorer's Windows 11 menu entry [^.]*" | head -n 1)
check "on Windows 11's build it tries to register the package, and says in its log why it could not" \
    "log line: '$registration'" grep -qE 'was not registered \(PowerShell (could not be run|.s exit code [0-9]+|ended without finding the package as asked)\)' <<<"$registration"
LOCAL_WIN=$(wrun cmd /c echo %LOCALAPPDATA% | tr -d '\r')
ROAMING_WIN=$(wrun cmd /c echo %APPDATA% | tr -d '\r')
INSTALL_WIN="$LOCAL_WIN\\Programs\\Korvello"
INSTALL=$(unixpath "$INSTALL_WIN")
SHORTCUT=$(unixpath "$ROAMING_WIN\\Microsoft\\Windows\\Start Menu\\Programs\\Korvello.lnk")
kv_at_exit 'msiexec_quiet /x "$CODE"'
check "korvello.exe is in %LOCALAPPDATA%\\Programs\\Korvello, this build's" "" cmp -s "$INSTALL/korvello.exe" "$EXE"
unzip -q -o "$BUILD/dist/korvello-$MSI_VERSION-win64.zip" -d "$RUN/zip"
check "README.txt, THIRD-PARTY.md and the licence texts are the zip's" "" \
    quiet diff -r "$RUN/zip" "$INSTALL"
check "nothing went to Program Files" "" [ ! -e "$(unixpath 'C:\Program Files\Korvello')" ]
check "the Start menu has the shortcut Korvello" "no $SHORTCUT" [ -s "$SHORTCUT" ]
check "the shortcut starts the installed korvello.exe" "" \
    bash -c '{ strings -a "$1"; strings -a -el "$1"; } | grep -qixF "$2"' _ "$SHORTCUT" "$INSTALL_WIN\korvello.exe"
menu_command="\"$INSTALL_WIN\\korvello.exe\" /convert \"%1\""
check "MP4 files have the entry \"Convert to MP3 with Korvello\"" "got '$(reg_default "HKCU\\Software\\Classes\\$FILE_VERB")'" \
    [ "$(reg_default "HKCU\\Software\\Classes\\$FILE_VERB")" = "Convert to MP3 with Korvello" ]
check "which starts korvello.exe with /convert and the file" \
    "got '$(reg_default "HKCU\\Software\\Classes\\$FILE_VERB\\command")'" \
    [ "$(reg_default "HKCU\\Software\\Classes\\$FILE_VERB\\command")" = "$menu_command" ]
for kind in mkv m4a webm wma m2ts; do
    verb="SystemFileAssociations\\.$kind\\shell\\Korvello.ConvertToMp3"
    check ".$kind files have the entry too, with the same command" "" \
        [ "$(reg_default "HKCU\\Software\\Classes\\$verb")" = "Convert to MP3 with Korvello" -a \
          "$(reg_default "HKCU\\Software\\Classes\\$verb\\command")" = "$menu_command" ]
done
check "MP3 files have none: an MP3 is never a source" "" \
    [ -z "$(reg_default 'HKCU\Software\Classes\SystemFileAssociations\.mp3\shell\Korvello.ConvertToMp3')" ]
check "folders have the entry \"Convert to MP3 with Korvello\"" "" \
    [ "$(reg_default "HKCU\\Software\\Classes\\$FOLDER_VERB")" = "Convert to MP3 with Korvello" ]
check "which starts korvello.exe with /convert and the folder" "" \
    [ "$(reg_default "HKCU\\Software\\Classes\\$FOLDER_VERB\\command")" = "$menu_command" ]
# The entries read in the user's language: Explorer takes the string MUIVerb names
# from korvello.exe's table for it (its place among the program's texts).
verb_place=$(grep -E '^KV_TEXT\(' "$ROOT/src/app/texts.def" | grep -n '^KV_TEXT(ConvertVerb,' | cut -d: -f1)
mui_verb="@$INSTALL_WIN\\korvello.exe,-$((2000 + verb_place - 1))"
for verb in "$FILE_VERB" "$FOLDER_VERB" 'SystemFileAssociations\.mkv\shell\Korvello.ConvertToMp3'; do
    check "${verb%%\\*}: MUIVerb names the entry's text in korvello.exe" \
        "got '$(reg_named "HKCU\\Software\\Classes\\$verb" MUIVerb)', want '$mui_verb'" \
        [ "$(reg_named "HKCU\\Software\\Classes\\$verb" MUIVerb)" = "$mui_verb" ]
done
ARP=$(uninstall_key "$CODE")
check "the installed programs list Korvello" "no key for $CODE" [ -n "$ARP" ]
for pair in "DisplayName=Korvello" "Publisher=Korvello Labs" "DisplayVersion=$MSI_VERSION"; do
    check "its entry's ${pair%%=*} is ${pair#*=}" "got '$(reg_named "$ARP" "${pair%%=*}")'" \
        [ "$(reg_named "$ARP" "${pair%%=*}")" = "${pair#*=}" ]
done
check "its entry names the folder it is in" "got '$(reg_named "$ARP" InstallLocation)'" \
    [ "$(reg_named "$ARP" InstallLocation)" = "$INSTALL_WIN\\" ]
check "its entry has a help link" "got '$(reg_named "$ARP" HelpLink)'" \
    grep -q '^https://' <<<"$(reg_named "$ARP" HelpLink)"
# The list takes an installed product's icon from the installer's ARPPRODUCTICON.
icon=$("$ROOT/dist/msi-property.sh" "$MSI" ARPPRODUCTICON)
# (Exporting the Icon table writes its pictures into the current folder.)
check "and the program's icon" "ARPPRODUCTICON '$icon'" \
    bash -c 'cd "$3" && msiinfo export "$1" Icon | tr -d "\r" | cut -f1 | grep -qxF "$2"' _ "$MSI" "${icon:-none}" "$RUN"
check "one entry of Korvello among the installed programs" "$(installed_korvellos)" [ "$(installed_korvellos)" = 1 ]

echo "== Explorer's menu entry on eight files at once"
MENU_IN=$RUN/menu
MENU_OUT=$RUN/out-menu
mkdir -p "$MENU_IN" "$MENU_OUT"
names=("one" "two words" "Лекция 3" "four & five" "six (6)" "seven" "eight" "nine")
items=()
for n in "${names[@]}"; do
    cp "$BUILD/media/aac_mono_48k.mp4" "$MENU_IN/$n.mp4"
    items+=("$(winpath "$MENU_IN/$n.mp4")")
done
set_workdir "$MENU_OUT"
said=$(outside shell-verb "$FILE_VERB" "${items[@]}")
check "eight copies start; seven end with code 0 and one stays" "said: $(echo $said)" \
    [ "$(grep -c '^EXIT 0' <<<"$said")" = 7 -a "$(grep -c '^RUNNING' <<<"$said")" = 1 ]
check "one window" "$(drive count-instances) copies" [ "$(drive count-instances)" = 1 ]
rows=$(wait_done 8 300)
check "eight rows in the one window, all Done, with no press of a button" "rows: $rows" \
    [ "$(grep -c . <<<"$rows")" = 8 -a "$(grep -c $'\tDone\t' <<<"$rows")" = 8 ]
for n in "${names[@]}"; do check_converted "$n" "$rows" "$MENU_OUT/$n.mp3" "$MENU_IN/$n.mp4"; done
check "nothing else is in the output folder" "$(ls "$MENU_OUT")" [ "$(find "$MENU_OUT" -type f | wc -l)" = 8 ]

echo "== Explorer's menu entry on a folder"
mkdir -p "$MENU_IN/folder"
cp "$BUILD/media/aac_mono_48k.mp4" "$MENU_IN/folder/in folder.mp4"
said=$(outside shell-verb "$FOLDER_VERB" "$(winpath "$MENU_IN/folder")")
check "the copy hands the folder to the running one" "said: $said" [ "$said" = "EXIT 0" ]
rows=$(wait_done 9 120)
check_converted "in folder" "$rows" "$MENU_OUT/in folder.mp3" "$MENU_IN/folder/in folder.mp4"
check "the first copy closes" "" close_first_copy

echo "== Windows 11's own entry on forty files in one request"
SHELL_DLL="$INSTALL_WIN\\korvello_shell.dll"
explorer() { kv_wrun "$BUILD/kv_explorer.exe" "$@" | tr -d '\r'; }
check "its title is the entry's text" "got '$(explorer "$SHELL_DLL" title)'" \
    [ "$(explorer "$SHELL_DLL" title)" = "Convert to MP3 with Korvello" ]
check "its icon is the installed korvello.exe's" "got '$(explorer "$SHELL_DLL" icon)'" \
    [ "$(explorer "$SHELL_DLL" icon)" = "$INSTALL_WIN\\korvello.exe,0" ]
W11_IN=$RUN/w11
W11_OUT=$RUN/out-w11
mkdir -p "$W11_IN/sub folder" "$W11_OUT"
printf 'x' >"$W11_IN/notes.txt"
cp "$BUILD/media/aac_mono_48k.mp4" "$W11_IN/one.mkv"
for item in one.mkv "sub folder" notes.txt; do
    want=ENABLED
    [[ $item == notes.txt ]] && want=HIDDEN
    check "it is $want for $item" "got '$(explorer "$SHELL_DLL" state "$(winpath "$W11_IN/$item")")'" \
        [ "$(explorer "$SHELL_DLL" state "$(winpath "$W11_IN/$item")")" = $want ]
done
rm -f "$W11_IN/one.mkv"
items=()
for i in $(seq -w 1 40); do
    cp "$BUILD/media/aac_mono_48k.mp4" "$W11_IN/clip $i.mp4"
    items+=("$(winpath "$W11_IN/clip $i.mp4")")
done
set_workdir "$W11_OUT"
said=$(explorer "$SHELL_DLL" invoke "${items[@]}")
check "Invoke starts korvello.exe once for the forty" "said: $said" [ "$said" = "STARTED 1" ]
rows=$(wait_done 40 600)
check "one window" "$(drive count-instances) copies" [ "$(drive count-instances)" = 1 ]
check "forty rows, all Done, with no press of a button" "$(grep -c . <<<"$rows") rows, $(grep -c $'\tDone\t' <<<"$rows") Done" \
    [ "$(grep -c . <<<"$rows")" = 40 -a "$(grep -c $'\tDone\t' <<<"$rows")" = 40 ]
for i in $(seq -w 1 40); do check_converted "clip $i" "$rows" "$W11_OUT/clip $i.mp3" "$W11_IN/clip $i.mp4"; done
check "the first copy closes" "" close_first_copy

echo "== the same version again, a newer one, an older one"
# From here a stand-in PowerShell (tests/helpers/kv_powershell.cpp) answers the
# package actions as Windows' would, and records what it was given.
PS_DIR=$(unixpath 'C:\windows\system32\WindowsPowerShell\v1.0')
mkdir -p "$PS_DIR"
[[ -e $PS_DIR/powershell.exe ]] && cp -f "$PS_DIR/powershell.exe" "$RUN/powershell.exe.wine"
kv_at_exit 'if [[ -e $RUN/powershell.exe.wine ]]; then cp -f "$RUN/powershell.exe.wine" "$PS_DIR/powershell.exe"; else rm -f "$PS_DIR/powershell.exe"; fi; rm -f "$PS_DIR"/kv_powershell.*'
cp -f "$BUILD/kv_powershell.exe" "$PS_DIR/powershell.exe"
rm -f "$PS_DIR"/kv_powershell.*
rm -f "$INSTALL/README.txt"
msiexec_quiet /i "$(winpath "$MSI")" /l*v "$(winpath "$RUN/repair.log")"
check "installing the same version again succeeds" "code $?" [ $? -eq 0 ]
check "registering the package where PowerShell confirms it is logged as done" "" \
    grep -qF "Korvello: Explorer's Windows 11 menu entry is registered." <(msi_log "$RUN/repair.log")
ps_said=$(tr -d '\r' <"$PS_DIR/kv_powershell.log" 2>/dev/null)
check "PowerShell gets the script, not a path, on its command line" "$ps_said" \
    grep -qF -- '-NonInteractive -ExecutionPolicy Bypass -Command "$ErrorActionPreference' <<<"$ps_said"
check "and the package and the install folder in its environment" "$ps_said" \
    grep -qzF "PACKAGE $INSTALL_WIN\\korvello-shell.msix"$'\n'"FOLDER $INSTALL_WIN\\" <<<"$ps_said"
check "no path on the command line" "$ps_said" bash -c '! grep "^LINE" <<<"$1" | grep -qF "$2"' _ "$ps_said" "$INSTALL_WIN\\korvello"

check "and repairs: a deleted file is back" "" [ -s "$INSTALL/README.txt" ]
check "still one entry" "$(installed_korvellos)" [ "$(installed_korvellos)" = 1 ]

# Another build of the same version (signed later, say) is another package: it replaces this one.
mkdir -p "$RUN/rebuilt"
cp -r "$RUN/zip/." "$RUN/rebuilt/"
printf 'Rebuilt.\r\n' >>"$RUN/rebuilt/README.txt"
# The same version's program, rebuilt (signed, say): other bytes, the same version resource.
printf 'rebuilt' >>"$RUN/rebuilt/korvello.exe"
REBUILT=$RUN/rebuilt-$MSI_VERSION.msi
"$ROOT/dist/make-msi.sh" "$RUN/rebuilt" "$MSI_VERSION" "$REBUILT" "$BUILD/art/korvello.ico" >>"$LOG" 2>&1
REBUILT_CODE=$(product_code "$REBUILT")
kv_at_exit 'msiexec_quiet /x "$REBUILT_CODE"'
# This time the deployment fails, as it does for a certificate the PC does not trust.
: >"$PS_DIR/kv_powershell.fail"
msiexec_quiet /i "$(winpath "$REBUILT")" /l*v "$(winpath "$RUN/rebuilt.log")"
check "another build of the same version installs over it" "code $?" [ $? -eq 0 ]
check "even though registering its package failed, with PowerShell's reason in the log" "" \
    grep -qF "menu entry was not registered (PowerShell's exit code 1): Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109" <(msi_log "$RUN/rebuilt.log")
rm -f "$PS_DIR/kv_powershell.fail"

keep_upgrade_code "$REBUILT_CODE"
check "with one entry, the other build's" "$(installed_korvellos) entries" \
    [ "$(installed_korvellos)" = 1 -a -n "$(uninstall_key "$REBUILT_CODE")" -a "$REBUILT_CODE" != "$CODE" ]
check "and its files" "" grep -q '^Rebuilt' "$INSTALL/README.txt"
check "its program too, of the same version" "" cmp -s "$RUN/rebuilt/korvello.exe" "$INSTALL/korvello.exe"

IFS=. read -r major minor patch <<<"$MSI_VERSION"
NEWER_VERSION=$major.$minor.$((patch + 1))
mkdir -p "$RUN/newer"
cp -r "$RUN/zip/." "$RUN/newer/"
sed -i "1s/.*/Korvello $NEWER_VERSION\r/" "$RUN/newer/README.txt"
NEWER=$RUN/korvello-$NEWER_VERSION-win64.msi
"$ROOT/dist/make-msi.sh" "$RUN/newer" "$NEWER_VERSION" "$NEWER" "$BUILD/art/korvello.ico" >>"$LOG" 2>&1
NEWER_CODE=$(product_code "$NEWER")
check "a newer build has a ProductCode of its own" "$NEWER_CODE" [ -n "$NEWER_CODE" -a "$NEWER_CODE" != "$CODE" ]
kv_at_exit 'msiexec_quiet /x "$NEWER_CODE"'
# On Windows 10's build the package is left alone: the classic entries serve.
wine reg add "$BUILD_KEY" /v CurrentBuildNumber /t REG_SZ /d 19045 /f >/dev/null 2>&1
msiexec_quiet /i "$(winpath "$NEWER")" /l*v "$(winpath "$RUN/newer.log")"
check "the newer build installs over the older" "code $?" [ $? -eq 0 ]
newer_log=$(msi_log "$RUN/newer.log")
check "on Windows 10's build it leaves the package alone" \
    "$(grep -E 'KV_WINDOWS_BUILD =|Action start.*ExplorerPackage|Korvello: ' <<<"$newer_log")" \
    bash -c 'grep -q "KV_WINDOWS_BUILD = 19045" <<<"$1" && ! grep -qE "Action start.*ExplorerPackage|Korvello: " <<<"$1"' _ "$newer_log"
wine reg add "$BUILD_KEY" /v CurrentBuildNumber /t REG_SZ /d 22631 /f >/dev/null 2>&1
keep_upgrade_code "$NEWER_CODE"
check "its files replace the older ones" "README.txt starts '$(first_line "$INSTALL/README.txt")'" \
    [ "$(first_line "$INSTALL/README.txt")" = "Korvello $NEWER_VERSION" ]
ARP=$(uninstall_key "$NEWER_CODE")
check "one entry among the installed programs, the newer version" \
    "$(installed_korvellos) entries, version '$(reg_named "$ARP" DisplayVersion)'" \
    [ "$(installed_korvellos)" = 1 -a "$(reg_named "$ARP" DisplayVersion)" = "$NEWER_VERSION" ]
check "the older version's entry is gone" "" absent uninstall_key "$REBUILT_CODE"
check "the menu entries and the shortcut stay" "" \
    [ -s "$SHORTCUT" -a -n "$(reg_default "HKCU\\Software\\Classes\\$FILE_VERB\\command")" ]
# A still newer version whose installation fails on the way (made to, by an
# action that reports an error before the files are written): the installed
# one stays, whole. (A failure after the files is rolled back too on Windows,
# which restores the files the failed package replaced; Wine's msi does not.)
FAILING=$RUN/korvello-failing-win64.msi
"$ROOT/dist/make-msi.sh" "$RUN/newer" "$major.$minor.$((patch + 2))" "$FAILING" "$BUILD/art/korvello.ico" >>"$LOG" 2>&1
msibuild "$FAILING" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`)
    VALUES ('KvMadeToFail', 19, '', 'This installation was made to fail.')"
msibuild "$FAILING" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`)
    VALUES ('KvMadeToFail', 'NOT REMOVE', 3990)"
msiexec_quiet /i "$(winpath "$FAILING")"
check "an upgrade that fails on the way reports it" "code $?" [ $? -ne 0 ]
check "and leaves the installed version's entry" "$(installed_korvellos) entries" \
    [ "$(installed_korvellos)" = 1 -a -n "$(uninstall_key "$NEWER_CODE")" ]
check "and its files, the program among them" "README.txt starts '$(first_line "$INSTALL/README.txt")'" \
    [ "$(first_line "$INSTALL/README.txt")" = "Korvello $NEWER_VERSION" -a -s "$INSTALL/korvello.exe" ]
msiexec_quiet /i "$(winpath "$MSI")"
# 1603 (its low byte as Unix sees it): the launch condition against a newer version stopped it.
check "the older build does not install over the newer" "code $?" [ $? -eq $((1603 & 255)) ]
check "which stays installed" "" [ "$(first_line "$INSTALL/README.txt")" = "Korvello $NEWER_VERSION" ]

echo "== uninstall"
settings_before=$(reg_value WorkDir)
# As the list of installed programs does it: by the product code.
msiexec_quiet /x "$NEWER_CODE" /l*v "$(winpath "$RUN/uninstall.log")"
check "msiexec /x {ProductCode} /qn uninstalls it" "code $?" [ $? -eq 0 ]
check "having removed the package first, and said so in its log" "" \
    grep -qF "Korvello: Explorer's Windows 11 menu entry is removed." <(msi_log "$RUN/uninstall.log")
check "by its name" "$(tail -n 3 "$PS_DIR/kv_powershell.log")" \
    grep -qF "Get-AppxPackage -Name 'KorvelloLabs.Korvello' | Remove-AppxPackage" "$PS_DIR/kv_powershell.log"

check "the program's folder is gone" "left: $(find "$INSTALL" 2>/dev/null | head -n 3)" [ ! -e "$INSTALL" ]
check "the shortcut is gone" "" [ ! -e "$SHORTCUT" ]
for v in "$FILE_VERB" "$FOLDER_VERB"; do
    check "Explorer's entry ${v##*\\} is gone" "" absent wrun reg query "HKCU\\Software\\Classes\\$v"
done
check "no entry of Korvello among the installed programs" "$(installed_korvellos)" [ "$(installed_korvellos)" = 0 ]
check "the settings key stays, with the output folder" "WorkDir '$(reg_value WorkDir)'" \
    [ -n "$settings_before" -a "$(reg_value WorkDir)" = "$settings_before" ]
check "the installer's own values are gone from it" "" absent wrun reg query 'HKCU\Software\Korvello\Install'
check "the MP3 files stay" "$(find "$MENU_OUT" -name '*.mp3' | wc -l) left" \
    [ "$(find "$MENU_OUT" -name '*.mp3' | wc -l)" = 9 ]
