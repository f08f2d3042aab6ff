#!/usr/bin/env bash
# Installs the Debian packages the build, the tools recipe and the tests need,
# only those that are missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pkgs=(build-essential cmake ninja-build make pkg-config git xz-utils bzip2 ca-certificates
      mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      wine wine64 xvfb xauth x11-utils xdotool imagemagick
      libgtest-dev googletest ffmpeg mediainfo python3 hyperfine procps)
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
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
