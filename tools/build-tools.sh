#!/usr/bin/env bash
# Builds the five Windows files Korvello ships beside its executable:
#   ffmpeg.exe, cygwin1.dll (winpthreads), cygz.dll (zlib), mediainfo.exe, mediainfo.dll
# from Debian source packages, cross-compiled with MinGW-w64; beside them
# licenses/ (each component's licence text, from its source tree) and
# manifest.txt (the versions built), which the release carries.
# Usage: tools/build-tools.sh OUTDIR
# Results are cached; see tools/README.md.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
OUT=$1
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CACHE=${KORVELLO_TOOLS_CACHE:-${HOME:?set HOME or KORVELLO_TOOLS_CACHE}/.cache/korvello-tools}
JOBS=$(nproc)
HOST=x86_64-w64-mingw32
CC=$HOST-gcc-posix
CXX=$HOST-g++-posix
PACKAGES=(ffmpeg lame zlib mingw-w64 libzen libmediainfo mediainfo)
RESULTS=(ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll)
# The cross compiler's runtime (libgcc, libstdc++) and the MinGW-w64 runtime are
# linked into every file; their packages name their versions and terms.
TOOLCHAIN_PACKAGES=(gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev)
GCC_COPYRIGHT=/usr/share/doc/gcc-mingw-w64-base/copyright
GPL3_TEXT=/usr/share/common-licenses/GPL-3
# Each library is optimised as its own build system or Debian's packaging does it,
# for the x86-64 baseline only (no -march), so the tools run on every 64-bit PC:
# - zlib: -O3, what its configure and Debian's rules both use.
# - LAME: -O2, Debian's build flags. Left alone, its configure (which knows GCC
#   only up to version 9) compiles with no -O at all; its own choice for older
#   GCC, "-O3 -fomit-frame-pointer -ffast-math", encodes 5 to 10 % slower than -O2
#   in this cross build.
# - FFmpeg: size-optimised (--enable-small, which makes its configure pick -Os),
#   with its SIMD assembly. The video decoders a cover picture needs fit the
#   size budget only so, and converting is as fast: LAME, built apart, does
#   the encoding, and the decoders' hot loops are the assembly's.
# - MediaInfo: size-optimised. With -O2 (upstream's and Debian's) mediainfo.dll
#   grows from 6.1 to 8.8 MB and the five files break the size budget, while a
#   probe is no faster: its time is the start of the process, not the parsing.
ZLIB_CFLAGS="-O3"
LAME_CFLAGS="-O2"
MEDIAINFO_BUILD_TYPE=MinSizeRel
# The five files together must stay within this size.
SIZE_BUDGET=$((13500 * 1000))

log() { printf '[build-tools] %s\n' "$*" >&2; }
die() { log "ERROR: $*"; exit 1; }

for tool in "$CC" "$CXX" "$HOST-objdump" "$HOST-windres" "$HOST-ar" "$HOST-nm" \
            nasm cmake ninja make patch tar xz bzip2 sha256sum flock apt-get apt-cache dpkg dpkg-query; do
    command -v "$tool" >/dev/null || die "missing '$tool' (install the packages in tools/prereqs.txt)"
done
for f in "$GCC_COPYRIGHT" "$GPL3_TEXT"; do
    [[ -s $f ]] || die "missing $f (install the packages in tools/prereqs.txt)"
done

# ---------------------------------------------------------------- apt sources

have_deb_src() {
    grep -qsE '^[[:space:]]*Types:.*\bdeb-src\b' /etc/apt/sources.list.d/*.sources ||
        grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

# Source entries mirror the machine's own binary entries, so no archive address lives in this repo.
ensure_deb_src() {
    have_deb_src && return 0
    [[ $(id -u) -eq 0 ]] || die "no deb-src entries in the apt sources and not root to add them"
    local f made=0
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] || continue
        [[ $(basename "$f") == korvello-src.sources ]] && continue
        grep -qE '^[[:space:]]*Types:.*\bdeb\b' "$f" || continue
        sed -E 's/^([[:space:]]*Types:).*/\1 deb-src/' "$f" >>/etc/apt/sources.list.d/korvello-src.sources
        printf '\n' >>/etc/apt/sources.list.d/korvello-src.sources
        made=1
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $f ]] || continue
        [[ $(basename "$f") == korvello-src.list ]] && continue
        if grep -qE '^[[:space:]]*deb[[:space:]]' "$f"; then
            sed -nE 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>/etc/apt/sources.list.d/korvello-src.list
            made=1
        fi
    done
    [[ $made -eq 1 ]] || die "found no apt source entries to derive deb-src entries from"
    log "added deb-src entries derived from the existing apt sources"
    NEED_UPDATE=1
}

# Versions apt knows for a source package, newest first.
src_versions() {
    local v list=() i j t
    while read -r v; do
        [[ -n $v ]] && list+=("$v")
    done < <(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -u)
    for ((i = 0; i < ${#list[@]}; i++)); do
        for ((j = i + 1; j < ${#list[@]}; j++)); do
            if dpkg --compare-versions "${list[j]}" gt "${list[i]}"; then
                t=${list[i]} list[i]=${list[j]} list[j]=$t
            fi
        done
    done
    if ((${#list[@]})); then printf '%s\n' "${list[@]}"; fi
}

NEED_UPDATE=0
ensure_deb_src
if [[ $NEED_UPDATE -eq 0 ]]; then
    for p in "${PACKAGES[@]}"; do
        [[ -n $(src_versions "$p") ]] || { NEED_UPDATE=1; break; }
    done
fi
if [[ $NEED_UPDATE -eq 1 ]]; then
    log "apt-get update"
    apt-get update -qq >&2 || die "apt-get update failed"
fi

# ---------------------------------------------------------------- sources

SRC_DL=$CACHE/downloads
mkdir -p "$SRC_DL" "$CACHE/resolved" "$CACHE/builds"
# One build per cache at a time.
exec 9>"$CACHE/.lock"
flock 9

dsc_name() { local v=${2#*:}; echo "${1}_${v}.dsc"; }

# Prints "sha256 size name" for each file a .dsc lists.
dsc_files() {
    awk '/^Checksums-Sha256:/ {on = 1; next} /^[^ ]/ {on = 0} on && NF == 3 {print $1, $2, $3}' "$1"
}

# True when the .dsc and its upstream tarball(s) are present and match their checksums.
have_source() {
    local dsc=$SRC_DL/$(dsc_name "$1" "$2") sum size name orig=0
    [[ -f $dsc ]] || return 1
    while read -r sum size name; do
        case $name in
            *.orig.tar.* | *.orig-*.tar.*) ;;
            *) continue ;;
        esac
        [[ $name == *.asc ]] && continue
        [[ -f $SRC_DL/$name ]] || return 1
        echo "$sum  $SRC_DL/$name" | sha256sum -c --status - || return 1
        orig=1
    done < <(dsc_files "$dsc")
    [[ $orig -eq 1 ]]
}

# As root apt would hand the download to its sandbox user, who cannot write into a private cache.
APT_OPTS=()
[[ $(id -u) -ne 0 ]] || APT_OPTS=(-o APT::Sandbox::User=root)

# Downloads the newest version whose upstream tarball can be had; a missing Debian
# packaging tarball does not matter since only the upstream tarball is built.
fetch_source() {
    local p=$1 v
    while read -r v; do
        [[ -n $v ]] || continue
        if have_source "$p" "$v"; then echo "$v"; return 0; fi
        log "apt-get source --download-only $p=$v"
        (cd "$SRC_DL" && apt-get source --download-only -qq "${APT_OPTS[@]}" "$p=$v" >&2) ||
            log "  (download incomplete for $p=$v)"
        if have_source "$p" "$v"; then echo "$v"; return 0; fi
        log "  $p=$v unusable, trying an older version"
    done < <(src_versions "$p")
    return 1
}

# The versions apt offers decide which versions get built; remember the outcome so a warm run needs no network.
offer=$(for p in "${PACKAGES[@]}"; do echo "$p $(src_versions "$p" | tr '\n' ' ')"; done)
offer_id=$(printf '%s' "$offer" | sha256sum | cut -c1-16)
resolved=$CACHE/resolved/$offer_id
ok=0
if [[ -f $resolved ]]; then
    ok=1
    while read -r p v; do have_source "$p" "$v" || { ok=0; break; }; done <"$resolved"
fi
t_dl=$SECONDS
if [[ $ok -eq 0 ]]; then
    tmp=$resolved.tmp
    : >"$tmp"
    for p in "${PACKAGES[@]}"; do
        v=$(fetch_source "$p") || die "could not download source package $p"
        echo "$p $v" >>"$tmp"
    done
    mv "$tmp" "$resolved"
fi
SECS_DOWNLOAD=$((SECONDS - t_dl))
declare -A VER
while read -r p v; do VER[$p]=$v; done <"$resolved"

# ---------------------------------------------------------------- cache key

# Only the recipe's own files count: docs and other folders under tools/ do not change the results.
recipe_hash=$(cd "$HERE" && { printf '%s\0' build-tools.sh prereqs.txt; find cmake patches -type f ! -name '*~' -print0; } |
    LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -d' ' -f1)
key=$({
    echo "recipe $recipe_hash"
    cat "$resolved"
    for p in "${PACKAGES[@]}"; do sha256sum "$SRC_DL/$(dsc_name "$p" "${VER[$p]}")" | cut -d' ' -f1; done
    cc_version=$("$CC" --version)
    echo "${cc_version%%$'\n'*}"
} | sha256sum | cut -c1-24)
BUILD=$CACHE/builds/$key

install_results() {
    mkdir -p "$OUT"
    local f
    for f in "${RESULTS[@]}"; do cp -f "$BUILD/bin/$f" "$OUT/$f.tmp" && mv -f "$OUT/$f.tmp" "$OUT/$f"; done
    cp -f "$BUILD/manifest.txt" "$OUT/manifest.txt.tmp" && mv -f "$OUT/manifest.txt.tmp" "$OUT/manifest.txt"
    # The whole folder anew: a licence an older build had must not linger.
    rm -rf "$OUT/licenses.tmp" && cp -r "$BUILD/licenses" "$OUT/licenses.tmp"
    rm -rf "$OUT/licenses" && mv "$OUT/licenses.tmp" "$OUT/licenses"
    local extra
    extra=$(find "$OUT" -mindepth 1 -maxdepth 1 |
        grep -vE '/(ffmpeg\.exe|cygwin1\.dll|cygz\.dll|mediainfo\.exe|mediainfo\.dll|manifest\.txt|licenses)$' || true)
    [[ -z $extra ]] || log "warning: $OUT holds other files too: $(echo "$extra" | tr '\n' ' ')"
    log "tools in $OUT (key $key)"
}

if [[ -f $BUILD/complete ]]; then
    log "cache hit: $BUILD"
    install_results
    exit 0
fi

# ---------------------------------------------------------------- build

log "building (key $key) in $BUILD"
rm -rf "$BUILD"
W=$BUILD/work
mkdir -p "$W/src" "$W/imp" "$W/static" "$W/inc" "$W/prefix" "$BUILD/bin" "$BUILD/logs"
LOGS=$BUILD/logs
declare -A SECS
timed() { # name command...
    local name=$1 t0=$SECONDS rc
    shift
    log "$name ..."
    # A subshell outside any condition keeps errexit in force inside the build functions.
    set +e
    (set -e; "$@") >"$LOGS/$name.log" 2>&1
    rc=$?
    set -e
    if [[ $rc -ne 0 ]]; then
        tail -n 40 "$LOGS/$name.log" >&2
        die "$name failed (full log: $LOGS/$name.log)"
    fi
    SECS[$name]=$((SECONDS - t0))
    log "$name done in ${SECS[$name]} s"
}

# Unpacks a package's upstream tarball below DIR and prints the tree's path.
unpack() { # package dir
    local p=$1 dest=$2 dsc name tmp
    dsc=$SRC_DL/$(dsc_name "$p" "${VER[$p]}")
    name=$(dsc_files "$dsc" | awk '$3 ~ /\.orig\.tar\.[a-z0-9]+$/ && !n++ {print $3}')
    tmp=$W/src/.unpack-$p
    rm -rf "$tmp" && mkdir -p "$tmp" "$dest"
    tar -xf "$SRC_DL/$name" -C "$tmp"
    local top=("$tmp"/*)
    [[ ${#top[@]} -eq 1 && -d ${top[0]} ]] || die "unexpected layout in $name"
    mv "${top[0]}" "$dest/"
    rmdir "$tmp"
    echo "$dest/$(basename "${top[0]}")"
}

build_winpthreads() {
    local s=$1/mingw-w64-libraries/winpthreads b=$W/winpthreads f
    mkdir -p "$b"
    for f in "$s"/src/*.c; do
        "$CC" -O2 -Wall -DWIN32_LEAN_AND_MEAN -DIN_WINPTHREAD -DDLL_EXPORT -DWINPTHREAD_DBG=1 \
            -D__USE_MINGW_ANSI_STDIO=0 -I"$s/include" -c "$f" -o "$b/$(basename "$f" .c).o"
    done
    "$HOST-windres" -I"$s/src" -I"$s/include" -O coff -o "$b/version.o" "$s/src/version.rc"
    # -no-pthread: the DLL is the thread library itself, it must not pull in Debian's.
    # The import library is named libpthread.dll.a so gcc's implicit -lpthread resolves to it.
    "$CC" -shared -no-pthread -static-libgcc -s -o "$BUILD/bin/cygwin1.dll" "$b"/*.o \
        -Wl,--out-implib,"$W/imp/libpthread.dll.a"
}

build_zlib() {
    local s=$1 b=$W/zlib f
    mkdir -p "$b"
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
             inflate inftrees trees uncompr zutil; do
        "$CC" $ZLIB_CFLAGS -D_LARGEFILE64_SOURCE=1 -I"$s" -c "$s/$f.c" -o "$b/$f.o"
    done
    # Export what zlib.h declares: the intersection of its identifiers with the defined functions.
    grep -oE '\b[A-Za-z_][A-Za-z0-9_]*\b' "$s/zlib.h" | LC_ALL=C sort -u >"$b/header-names"
    "$HOST-nm" -g --defined-only "$b"/*.o | awk '$2 == "T" {print $3}' | LC_ALL=C sort -u >"$b/defined"
    { echo "LIBRARY cygz.dll"; echo "EXPORTS"; LC_ALL=C comm -12 "$b/header-names" "$b/defined" | sed 's/^/    /'; } >"$b/cygz.def"
    grep -qw deflate "$b/cygz.def" && grep -qw inflate "$b/cygz.def" || return 1
    "$CC" -shared -no-pthread -static-libgcc -s -o "$BUILD/bin/cygz.dll" "$b/cygz.def" "$b"/*.o \
        -Wl,--out-implib,"$W/imp/libz.dll.a"
    # mediainfo.dll gets its own static copy so it depends on nothing but system DLLs.
    "$HOST-ar" rcs "$W/static/libz.a" "$b"/*.o
    cp "$s/zlib.h" "$s/zconf.h" "$W/inc/"
}

build_lame() {
    local s=$1 b=$W/lame
    mkdir -p "$b"
    (cd "$b" && "$s/configure" --host=$HOST CC="$CC" CFLAGS="$LAME_CFLAGS" --prefix="$W/prefix" \
        --disable-shared --enable-static --disable-frontend --disable-decoder \
        --disable-gtktest --disable-analyzer-hooks)
    make -C "$b" -j"$JOBS"
    make -C "$b" install
}

build_ffmpeg() {
    local s=$1 b=$W/ffmpeg
    mkdir -p "$b" "$W/no-pkgconfig"
    patch -d "$s" -p1 --forward <"$HERE/patches/ffmpeg-deinterlace.patch"
    # With several audio tracks, the one marked default, else the first.
    patch -d "$s" -p1 --forward <"$HERE/patches/ffmpeg-audio-track.patch"
    # The MP3's gapless tag counts every frame of trailing padding, not the last alone.
    patch -d "$s" -p1 --forward <"$HERE/patches/ffmpeg-mp3-padding.patch"
    # Measuring loudness decodes into the null output (the meter, gain and
    # limiter filters; the null muxer and its PCM encoder).
    # $W/imp comes first on the library path: -lpthread and -lz then bind to cygwin1.dll and cygz.dll.
    (cd "$b" && PKG_CONFIG_LIBDIR=$W/no-pkgconfig "$s/configure" \
        --prefix="$b/inst" \
        --enable-cross-compile --target-os=mingw32 --arch=x86_64 --cross-prefix=$HOST- \
        --cc="$CC" --cxx="$CXX" \
        --disable-everything --disable-autodetect --disable-network --disable-doc \
        --disable-ffprobe --disable-ffplay --disable-avdevice --disable-debug \
        --enable-small --enable-pthreads --disable-w32threads --enable-zlib --enable-libmp3lame \
        --enable-protocol=file,pipe \
        --enable-demuxer=mov,mp3,aac,matroska,mpegts,mpegps,avi,flv,asf,ogg,wav,w64,flac \
        --enable-demuxer=ac3,eac3,dts,dtshd,truehd,mlp,amr,amrnb,amrwb \
        --enable-demuxer=mpegvideo,h264,hevc,m4v \
        --enable-muxer=mp3,null \
        --enable-decoder=aac,aac_latm,mp3,mp3float,mp2,mp2float,mp1,mp1float,ac3,eac3,alac,opus,flac \
        --enable-decoder=vorbis,wmav1,wmav2,wmapro,wmalossless,amrnb,amrwb,dca,truehd,mlp \
        --enable-decoder=pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be \
        --enable-decoder=pcm_f32le,pcm_f32be,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw \
        --enable-decoder=pcm_dvd,pcm_bluray,pcm_s16le_planar,pcm_s8 \
        --enable-decoder=adpcm_ima_wav,adpcm_ima_qt,adpcm_ms,adpcm_g726,adpcm_g726le,adpcm_yamaha \
        --enable-decoder=png,mjpeg,h264,hevc,mpeg4,vp8,vp9 \
        --enable-encoder=libmp3lame,png,mjpeg,pcm_s16le \
        --enable-parser=aac,aac_latm,mpegaudio,ac3,flac,opus,png,mjpeg,vorbis,dca,mlp,amr,mpegvideo \
        --enable-filter=aresample,aformat,anull,format,null,scale,atrim,asetpts,asplit,split \
        --enable-filter=ebur128,volume,alimiter \
        --extra-cflags="-I$W/inc -I$W/prefix/include" \
        --extra-ldflags="-L$W/imp -L$W/prefix/lib -static-libgcc")
    grep -q '^#define CONFIG_GPL 0' "$b/config.h"
    # The SIMD code paths of the decoders and the resampler need the assembler.
    grep -q '^#define HAVE_X86ASM 1' "$b/config.h"
    grep -q '^#define CONFIG_SMALL 1' "$b/config.h"
    make -C "$b" -j"$JOBS"
    make -C "$b" install
    cp "$b/inst/bin/ffmpeg.exe" "$BUILD/bin/ffmpeg.exe"
}

build_mediainfo() { # MediaInfoLib ZenLib MediaInfo trees, side by side as the CMake project expects
    local root b=$W/mediainfo
    root=$(dirname "$1")
    mkdir -p "$b"
    # An unreadable file gets no output at all rather than an empty line.
    patch -d "$3" -p1 --forward <"$HERE/patches/mediainfo-quiet-when-unreadable.patch"
    # GNU ld reads ordinals such as @08 as octal: drop the leading zeros.
    sed -i -E 's/@0+([0-9])/@\1/' "$1/Source/MediaInfoDLL/MediaInfoDLL.def"
    local lf="-static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections"
    # Only the text and template outputs are ever asked for: the other export formats are left out.
    local cf="-ffunction-sections -fdata-sections" f
    for f in EBUCORE FIMS MPEG7 PBCORE REVTMD NISO GRAPH JSON HTML CSV; do cf+=" -DMEDIAINFO_${f}_NO"; done
    cmake -S "$HERE/cmake" -B "$b" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$HERE/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=$MEDIAINFO_BUILD_TYPE -DSRC_ROOT="$root" \
        -DBUILD_ZLIB=OFF -DBUILD_ZENLIB=ON \
        -DZLIB_LIBRARY="$W/static/libz.a" -DZLIB_INCLUDE_DIR="$W/inc" \
        -DCMAKE_DISABLE_FIND_PACKAGE_CURL=ON -DCMAKE_DISABLE_FIND_PACKAGE_TinyXML=ON \
        -DCMAKE_C_FLAGS="$cf" -DCMAKE_CXX_FLAGS="$cf" \
        -DCMAKE_SHARED_LINKER_FLAGS="$lf" -DCMAKE_EXE_LINKER_FLAGS="$lf"
    ninja -C "$b" -j"$JOBS" mediainfo mediainfo_cli
    cp "$b/bin/mediainfo.dll" "$b/bin/mediainfo.exe" "$BUILD/bin/"
}

t_all=$SECONDS
S_FFMPEG=$(unpack ffmpeg "$W/src")
S_LAME=$(unpack lame "$W/src")
S_ZLIB=$(unpack zlib "$W/src")
S_MINGW=$(unpack mingw-w64 "$W/src")
S_ZEN=$(unpack libzen "$W/src/mi")
S_MIL=$(unpack libmediainfo "$W/src/mi")
S_MI=$(unpack mediainfo "$W/src/mi")
[[ $(basename "$S_ZEN") == ZenLib ]] || die "ZenLib tree not found"
SECS[unpack-sources]=$((SECONDS - t_all))

# Each component's licence as its own source tree words it, under the name the
# release's THIRD-PARTY.md gives it (dist/THIRD-PARTY.md.in).
collect_licenses() {
    local L=$BUILD/licenses f
    mkdir -p "$L"
    cp "$S_FFMPEG/COPYING.LGPLv2.1" "$L/ffmpeg-COPYING.LGPLv2.1"
    cp "$S_FFMPEG/LICENSE.md" "$L/ffmpeg-LICENSE.md"
    cp "$S_LAME/COPYING" "$L/lame-COPYING"
    cp "$S_LAME/LICENSE" "$L/lame-LICENSE"
    cp "$S_ZLIB/LICENSE" "$L/zlib-LICENSE"
    cp "$S_MINGW/COPYING" "$L/mingw-w64-COPYING"
    cp "$S_MINGW/COPYING.MinGW-w64-runtime/COPYING.MinGW-w64-runtime.txt" "$L/mingw-w64-runtime-COPYING.txt"
    cp "$S_MINGW/mingw-w64-libraries/winpthreads/COPYING" "$L/winpthreads-COPYING"
    cp "$S_ZEN/License.txt" "$L/zenlib-License.txt"
    cp "$S_MIL/LICENSE" "$L/mediainfolib-LICENSE"
    cp "$S_MI/LICENSE" "$L/mediainfo-LICENSE"
    # The code MediaInfoLib bundles states its terms in each file's leading comment;
    # the Gladman files ask for them in a binary's documentation.
    for f in tinyxml2/tinyxml2.h tfsxml/tfsxml.c md5/md5.c aes-gladman/aescrypt.c \
             sha1-gladman/sha1.c sha2-gladman/sha2.c hmac-gladman/hmac.c; do
        printf '==> MediaInfoLib/Source/ThirdParty/%s <==\n' "$f"
        awk '{ print } /\*\// { exit }' "$S_MIL/Source/ThirdParty/$f"
        echo
    done >"$L/mediainfolib-thirdparty-notices.txt"
    # libgcc and libstdc++: GPLv3 with the GCC Runtime Library Exception, whose
    # text the cross compiler's package carries in its copyright file.
    awk '/^GCC is Copyright/ { on = 1 } on { print } on && /requirements of the license of GCC\./ { exit }' \
        "$GCC_COPYRIGHT" >"$L/gcc-runtime-library-exception.txt"
    grep -q '^GCC RUNTIME LIBRARY EXCEPTION' "$L/gcc-runtime-library-exception.txt"
    grep -q 'No Weakening of GCC Copyleft' "$L/gcc-runtime-library-exception.txt"
    cp "$GPL3_TEXT" "$L/gcc-GPL-3"
    for f in "$L"/*; do [[ -s $f ]] || { echo "empty: $f"; return 1; }; done
}
timed licenses collect_licenses

timed winpthreads build_winpthreads "$S_MINGW"
timed zlib build_zlib "$S_ZLIB"
timed lame build_lame "$S_LAME"
timed ffmpeg build_ffmpeg "$S_FFMPEG"
timed mediainfo build_mediainfo "$S_MIL" "$S_ZEN" "$S_MI"

# ---------------------------------------------------------------- checks

# Imports each file may have besides Windows' own DLLs.
declare -A SIBLINGS=(
    [ffmpeg.exe]="cygwin1.dll cygz.dll"
    [mediainfo.exe]="mediainfo.dll"
    [cygwin1.dll]="" [cygz.dll]="" [mediainfo.dll]=""
)
SYSTEM_DLLS="kernel32.dll msvcrt.dll user32.dll advapi32.dll shell32.dll bcrypt.dll ole32.dll oleaut32.dll ws2_32.dll gdi32.dll shlwapi.dll version.dll"
for f in "${RESULTS[@]}"; do
    [[ -s $BUILD/bin/$f ]] || die "$f was not produced"
    [[ $("$HOST-objdump" -f "$BUILD/bin/$f") == *"file format pei-x86-64"* ]] || die "$f is not an x86-64 PE file"
    imports=" $("$HOST-objdump" -p "$BUILD/bin/$f" | awk '/DLL Name:/ {print tolower($3)}' | tr '\n' ' ') "
    for dll in $imports; do
        [[ " $SYSTEM_DLLS ${SIBLINGS[$f]} " == *" $dll "* ]] || die "$f imports unexpected $dll"
    done
    for dll in ${SIBLINGS[$f]}; do
        [[ $imports == *" $dll "* ]] || die "$f does not import $dll"
    done
    log "$f: $(stat -c %s "$BUILD/bin/$f") bytes, imports$imports"
done

total_bytes=0
for f in "${RESULTS[@]}"; do total_bytes=$((total_bytes + $(stat -c %s "$BUILD/bin/$f"))); done
((total_bytes <= SIZE_BUDGET)) || die "the five files take $total_bytes bytes, over the budget of $SIZE_BUDGET"

SECS[total]=$((SECONDS - t_all))
{
    for p in "${PACKAGES[@]}"; do echo "source $p ${VER[$p]}"; done
    # toolchain SOURCE-PACKAGE SOURCE-VERSION BINARY-PACKAGE BINARY-VERSION
    for p in "${TOOLCHAIN_PACKAGES[@]}"; do
        dpkg-query -W -f='toolchain ${source:Package} ${source:Version} ${Package} ${Version}\n' "$p"
    done
    echo "seconds download $SECS_DOWNLOAD"
    for n in unpack-sources licenses winpthreads zlib lame ffmpeg mediainfo total; do echo "seconds $n ${SECS[$n]}"; done
    (cd "$BUILD/bin" && for f in "${RESULTS[@]}"; do echo "bytes $f $(stat -c %s "$f")"; done)
    echo "bytes total $total_bytes"
    echo "cflags zlib $ZLIB_CFLAGS"
    echo "cflags lame $LAME_CFLAGS"
    echo "cmake-build-type mediainfo $MEDIAINFO_BUILD_TYPE"
} >"$BUILD/manifest.txt"
cat "$BUILD/manifest.txt" >&2
rm -rf "$W"
touch "$BUILD/complete"
install_results
