#!/usr/bin/env bash
# Writes the winget manifests (multi-file form, ManifestVersion 1.10.0) for the
# per-user MSI into OUTDIR: KorvelloLabs.Korvello.yaml, .installer.yaml and
# .locale.en-US.yaml.
# Usage: dist/winget-manifests.sh VERSION MSI_PATH PRODUCT_CODE OUTDIR
# Environment, all optional:
#   KORVELLO_RELEASE_URL   https base the MSI is uploaded under, as
#                          BASE/korvello-VERSION-win64.msi (default: a
#                          placeholder under example.com, to be replaced)
#   KORVELLO_UPGRADE_CODE  the MSI's UpgradeCode, a braced upper-case GUID
#   KORVELLO_HOME_URL      https address of the program's home page
# No other addresses are written: a manifest must not point at pages that
# do not exist.
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 VERSION MSI_PATH PRODUCT_CODE OUTDIR" >&2
    exit 2
fi
VERSION=$1 MSI=$2 PRODUCT_CODE=$3
die() { echo "winget-manifests: $*" >&2; exit 1; }

GUID='^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$'
# winget installs over https alone; no blanks or controls, so the value stays one YAML line.
HTTPS='^https://[^[:space:][:cntrl:]]+$'

[[ $VERSION =~ ^[0-9]+(\.[0-9]+){0,3}$ ]] ||
    die "VERSION must be 1 to 4 numbers joined by dots, not '$VERSION'"
[[ $PRODUCT_CODE =~ $GUID ]] ||
    die "PRODUCT_CODE must be a braced upper-case GUID such as {0F3A1B2C-...}, not '$PRODUCT_CODE'"
UPGRADE_CODE=${KORVELLO_UPGRADE_CODE:-}
[[ -z $UPGRADE_CODE || $UPGRADE_CODE =~ $GUID ]] ||
    die "KORVELLO_UPGRADE_CODE must be a braced upper-case GUID, not '$UPGRADE_CODE'"
BASE=${KORVELLO_RELEASE_URL:-https://example.com/korvello/releases/$VERSION}
BASE=${BASE%/}
[[ $BASE =~ $HTTPS ]] || die "KORVELLO_RELEASE_URL must be an https:// address, not '$BASE'"
HOME_URL=${KORVELLO_HOME_URL:-}
[[ -z $HOME_URL || $HOME_URL =~ $HTTPS ]] || die "KORVELLO_HOME_URL must be an https:// address, not '$HOME_URL'"
[[ -f $MSI && -s $MSI ]] || die "no MSI at '$MSI'"

SHA256=$(sha256sum "$MSI" | cut -d' ' -f1 | tr a-f A-F)
URL=$BASE/korvello-$VERSION-win64.msi
OUT=$(mkdir -p "$4" && cd "$4" && pwd)
ID=KorvelloLabs.Korvello
MV=1.10.0
rm -f "$OUT"/*.yaml

# A single-quoted YAML scalar: only the quote itself needs escaping, by doubling.
q() { local s=$1; printf "'%s'" "${s//\'/\'\'}"; }

header() {  # $1: the schema's type name, as in winget's own manifests
    echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$MV.schema.json"
    echo
    echo "PackageIdentifier: $(q "$ID")"
    echo "PackageVersion: $(q "$VERSION")"
}

{
    header version
    echo "DefaultLocale: 'en-US'"
    echo "ManifestType: 'version'"
    echo "ManifestVersion: '$MV'"
} >"$OUT/$ID.yaml"

{
    header installer
    cat <<EOF
MinimumOSVersion: '10.0.0.0'
InstallerType: 'wix'
Scope: 'user'
InstallModes:
  - 'interactive'
  - 'silent'
  - 'silentWithProgress'
UpgradeBehavior: 'install'
FileExtensions:
  - 'mp4'
ProductCode: $(q "$PRODUCT_CODE")
AppsAndFeaturesEntries:
  - DisplayName: 'Korvello'
    Publisher: 'Korvello Labs'
    DisplayVersion: $(q "$VERSION")
    ProductCode: $(q "$PRODUCT_CODE")
EOF
    [[ -z $UPGRADE_CODE ]] || echo "    UpgradeCode: $(q "$UPGRADE_CODE")"
    cat <<EOF
Installers:
  - Architecture: 'x64'
    InstallerUrl: $(q "$URL")
    InstallerSha256: '$SHA256'
ManifestType: 'installer'
ManifestVersion: '$MV'
EOF
} >"$OUT/$ID.installer.yaml"

{
    header defaultLocale
    echo "PackageLocale: 'en-US'"
    echo "Publisher: 'Korvello Labs'"
    [[ -z $HOME_URL ]] || echo "PackageUrl: $(q "$HOME_URL")"
    cat <<'EOF'
PackageName: 'Korvello'
License: 'Proprietary; carries FFmpeg and LAME (LGPL), MediaInfo (BSD-2) and others, see THIRD-PARTY.md'
Copyright: 'Copyright (c) Korvello Labs'
ShortDescription: 'Turns MP4 video files into MP3 audio files.'
Description: 'Korvello turns MP4 video files into MP3 audio files, all in one window. Add single files or a whole folder, or select MP4 files in Explorer and choose "Convert to MP3 with Korvello" from the right-click menu. It converts several files at once and lets you choose the MP3 quality. It installs for the current user alone and needs no administrator rights.'
Moniker: 'korvello'
Tags:
  - 'mp3'
  - 'mp4'
  - 'audio'
  - 'video'
  - 'converter'
  - 'music'
EOF
    echo "ManifestType: 'defaultLocale'"
    echo "ManifestVersion: '$MV'"
} >"$OUT/$ID.locale.en-US.yaml"

echo "$OUT/$ID.yaml"
echo "$OUT/$ID.installer.yaml"
echo "$OUT/$ID.locale.en-US.yaml"
