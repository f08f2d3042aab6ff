#!/usr/bin/env bash
# Installs the Debian packages the build, the tools recipe and the tests need,
# only those that are missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Each for a command the scripts run or a file the build reads: the native
# compilers and CMake; the certificates apt's https sources need; the cross
# compilers; Wine and a virtual display; ImageMagick's import for screenshots;
# GoogleTest (the native package and the sources the cross build compiles);
# Debian's ffmpeg, ffprobe and mediainfo for the test media and their checks;
# Python for the window art; chattr for the unwritable-folder fault as root;
# zip for the release and unzip for its test; wixl and msitools for the
# installer, osslsigncode and openssl for signing and its test, Python's
# jsonschema and yaml for the winget manifests' check; clang and its run-time
# libraries (libFuzzer) for the fuzz harnesses; a CJK font, which Wine lacks,
# for the tests that show Chinese, Japanese and Korean.
pkgs=(build-essential cmake ninja-build make xz-utils bzip2 ca-certificates zip unzip
      gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
      wine wine64 xvfb imagemagick
      libgtest-dev googletest ffmpeg mediainfo python3 e2fsprogs clang-format clang-tidy
      msitools wixl osslsigncode openssl file python3-jsonschema python3-yaml
      clang libclang-rt-14-dev fonts-wqy-microhei)
for list in "$here/tools/prereqs.txt" "$here/tests/tools/prereqs.txt"; do
    [ -f "$list" ] || continue
    while read -r p; do
        p=${p%%#*}
        p=${p//[[:space:]]/}
        [ -n "$p" ] && pkgs+=("$p")
    done <"$list"
done
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The package of Windows 11's Explorer entry is an APPX file, which osslsigncode
# signs from version 2.6 on; Debian 12 has 2.5, its backports a later one.
appx_signer() {
    local v major minor
    v=$(osslsigncode --version 2>/dev/null | sed -nE '1s/^osslsigncode ([0-9]+)\.([0-9]+).*/\1 \2/p')
    [[ -n $v ]] || return 1
    read -r major minor <<<"$v"
    ((major > 2 || (major == 2 && minor >= 6)))
}
# A backports entry derived from the machine's own Debian source (its first
# stanza naming bookworm: the same address, the release's backports suite).
BACKPORTS=${KORVELLO_APT_SOURCES:-/etc/apt/sources.list.d}
add_backports() {
    local f tmp
    [[ -e $BACKPORTS/korvello-backports.sources ]] && return 0
    for f in "$BACKPORTS"/*.sources; do
        [[ -f $f ]] && grep -qE '^Suites:.*\bbookworm\b' "$f" && grep -qE '^Types:.*\bdeb\b' "$f" || continue
        tmp=$(mktemp)
        awk '/^Types:/ && n++ { exit } { print }' "$f" |
            sed -E -e 's/^(Types:).*/\1 deb/' -e 's/^(Suites:).*/\1 bookworm-backports/' >"$tmp"
        $sudo install -m 644 "$tmp" "$BACKPORTS/korvello-backports.sources"
        rm -f "$tmp"
        return 0
    done
    return 1
}
if ! appx_signer; then
    echo "osslsigncode signs no APPX package: installing Debian's backported one"
    if add_backports && $sudo apt-get update -qq &&
        $sudo apt-get install -y -qq --no-install-recommends -t bookworm-backports osslsigncode >/dev/null; then
        :
    else
        echo "prereqs: no backported osslsigncode: the package of Windows 11's entry cannot be signed" >&2
    fi
fi
