#!/usr/bin/env bash
# Makes the release a user downloads: OUTDIR/korvello-VERSION-win64.zip holding
# korvello.exe, korvello_shell.dll and korvello-shell.msix (Windows 11's
# Explorer entry), README.txt, THIRD-PARTY.md and licenses/; the per-user
# installer korvello-VERSION-win64.msi with the same files; a .sha256 beside
# each in sha256sum's format; and winget's manifests for the installer in
# OUTDIR/winget/. With KORVELLO_SIGN_PFX (see sign.sh) korvello.exe is signed
# before it goes into either, and then the installer.
# Usage: dist/make-dist.sh KORVELLO_EXE TOOLS_DIR VERSION OUTDIR ICON
# TOOLS_DIR is the tools recipe's output (tools/build-tools.sh): its manifest.txt
# gives the versions THIRD-PARTY.md names, its licenses/ the licence texts.
# Files are stored in a fixed order with one time stamp (SOURCE_DATE_EPOCH, else
# the last commit's), so the same inputs make the same zip.
set -euo pipefail

if [[ $# -ne 5 ]]; then
    echo "usage: $0 KORVELLO_EXE TOOLS_DIR VERSION OUTDIR ICON" >&2
    exit 2
fi
EXE=$1 TOOLS=$2 VERSION=$3 ICON=$5
OUT=$(mkdir -p "$4" && cd "$4" && pwd)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
NAME=korvello-$VERSION-win64
die() { echo "make-dist: $*" >&2; exit 1; }

for c in zip wixl msiinfo; do command -v $c >/dev/null || die "missing '$c' (scripts/prereqs.sh installs it)"; done
[[ -s $EXE ]] || die "no program at $EXE"
[[ -s $ICON ]] || die "no icon at $ICON"
[[ -s $TOOLS/manifest.txt && -d $TOOLS/licenses ]] ||
    die "no manifest.txt and licenses/ in $TOOLS (made by tools/build-tools.sh)"

# ---- versions, from the tools manifest

# Debian version -> upstream version: no epoch, no Debian revision, no repack suffix.
upstream() {
    local v=${1#*:}
    [[ $v == *-* ]] && v=${v%-*}
    v=${v%%[.+~]dfsg*}
    echo "$v"
}
declare -A VALUE=([KORVELLO_VERSION]=$VERSION)
while read -r kind pkg ver binpkg binver _; do
    case $kind in
        source)
            VALUE[VERSION:$pkg]=$(upstream "$ver")
            VALUE[DEB:$pkg]=$ver
            ;;
        toolchain)
            VALUE[TOOLCHAIN:$pkg]=$ver
            VALUE[BINARY:$pkg]="$binpkg $binver"
            # The binary package's version leads with the upstream one (GCC's for the compiler).
            binver=${binver#*:}
            VALUE[UPSTREAM:$pkg]=${binver%%-*}
            ;;
    esac
done <"$TOOLS/manifest.txt"

# Replaces each @KEY@ of a template; a key the manifest does not give is an error.
PLACEHOLDER='@([A-Z_]+(:[a-z0-9.+-]+)?)@'
fill() { # template
    local line key out rest
    while IFS= read -r line || [[ -n $line ]]; do
        out=
        while [[ $line =~ $PLACEHOLDER ]]; do
            key=${BASH_REMATCH[1]}
            [[ -n ${VALUE[$key]:-} ]] || die "$1: nothing in $TOOLS/manifest.txt for @$key@"
            rest=${line#*"@$key@"}
            out+=${line%%"@$key@"*}${VALUE[$key]}
            line=$rest
        done
        printf '%s\r\n' "$out$line"
    done <"$1"
}

# ---- the folder to zip

STAGE=$OUT/.stage
rm -rf "$STAGE"
mkdir -p "$STAGE/$NAME"
D=$STAGE/$NAME
cp "$EXE" "$D/korvello.exe"
signed=yes
sign() { # file
    local rc=0
    "$HERE/sign.sh" "$1" || rc=$?
    case $rc in 0) ;; 3) signed=no ;; *) die "signing $(basename "$1") failed" ;; esac
}
sign "$D/korvello.exe"
# Windows 11's Explorer entry: the DLL beside the program, and the package
# that names both, whose publisher is the one korvello.exe's manifest gives.
SHELL_DLL=$(dirname "$EXE")/korvello_shell.dll
[[ -s $SHELL_DLL ]] || die "no korvello_shell.dll beside $EXE"
cp "$SHELL_DLL" "$D/korvello_shell.dll"
sign "$D/korvello_shell.dll"
python3 "$HERE/make-package.py" build "$D/korvello.exe" "$ICON" "$VERSION" "$D/korvello-shell.msix" >/dev/null
publisher=$(python3 "$HERE/make-package.py" publisher "$D/korvello.exe")
KORVELLO_SIGN_SUBJECT=$publisher sign "$D/korvello-shell.msix"
python3 "$HERE/make-package.py" check "$D/korvello-shell.msix" "$D/korvello.exe" "$D" >"$STAGE/package-check.log" ||
    die "the package failed its check: $(grep FAIL "$STAGE/package-check.log" | head -n 3)"
# The two texts we write get Windows line ends, for Notepad; the licence texts stay as their authors wrote them.
fill "$HERE/README.txt" >"$D/README.txt"
fill "$HERE/THIRD-PARTY.md.in" >"$D/THIRD-PARTY.md"
cp -r "$TOOLS/licenses" "$D/licenses"

# THIRD-PARTY.md names each licence text the zip holds, and holds each it names.
named=$(grep -oE 'licenses/[A-Za-z0-9._+-]+' "$D/THIRD-PARTY.md" | LC_ALL=C sort -u)
held=$(cd "$D" && find licenses -type f | LC_ALL=C sort)
missing=$(LC_ALL=C comm -23 <(echo "$named") <(echo "$held"))
unnamed=$(LC_ALL=C comm -13 <(echo "$named") <(echo "$held"))
[[ -z $missing ]] || die "THIRD-PARTY.md names licence texts the tools build did not make: $(echo $missing)"
[[ -z $unnamed ]] || die "licence texts THIRD-PARTY.md does not name: $(echo $unnamed)"
for f in $held; do [[ -s $D/$f ]] || die "empty licence text $f"; done

# ---- the zip, the installer, their checksums and winget's manifests

checksum() { # file name in OUT
    (cd "$OUT" && sha256sum "$1" >"$1.sha256.tmp" && mv -f "$1.sha256.tmp" "$1.sha256")
}
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$HERE/.." log -1 --format=%ct 2>/dev/null || stat -c %Y "$EXE")}
find "$D" -exec touch -h -d "@$epoch" {} +
rm -f "$OUT/$NAME.zip.tmp"
# -X: no owner or extra time fields; -D: no folder entries; names fed in sorted order.
(cd "$D" && find . -type f -printf '%P\n' | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$OUT/$NAME.zip.tmp" -@)
mv -f "$OUT/$NAME.zip.tmp" "$OUT/$NAME.zip"
checksum "$NAME.zip"

"$HERE/make-msi.sh" "$D" "$VERSION" "$OUT/$NAME.msi" "$ICON" >/dev/null
sign "$OUT/$NAME.msi"
checksum "$NAME.msi"
product_code=$("$HERE/msi-property.sh" "$OUT/$NAME.msi" ProductCode)
KORVELLO_UPGRADE_CODE=$("$HERE/msi-property.sh" "$OUT/$NAME.msi" UpgradeCode) \
    "$HERE/winget-manifests.sh" "$VERSION" "$OUT/$NAME.msi" "$product_code" "$OUT/winget" >/dev/null
rm -rf "$STAGE"

echo "make-dist: $OUT/$NAME.zip ($(stat -c %s "$OUT/$NAME.zip") bytes), $(cut -c1-16 "$OUT/$NAME.zip.sha256")..."
echo "make-dist: $OUT/$NAME.msi ($(stat -c %s "$OUT/$NAME.msi") bytes), ProductCode $product_code"
echo "make-dist: $OUT/winget/"
[[ $signed == yes ]] && echo "make-dist: korvello.exe, korvello_shell.dll, the package and the installer are signed" ||
    echo "make-dist: the release is UNSIGNED (no KORVELLO_SIGN_PFX given); Windows will warn of an unknown publisher"
