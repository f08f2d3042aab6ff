#!/usr/bin/env bash
# Makes the per-user installer from the release's folder (korvello.exe,
# korvello_shell.dll, korvello-shell.msix, README.txt, THIRD-PARTY.md,
# licenses/) with wixl.
# Usage: dist/make-msi.sh STAGE_DIR VERSION OUT_MSI ICON
# ICON (an .ico) is what the list of installed programs shows.
# The ProductCode and the package code follow from the version and the files
# carried: the same installer run again is the same package and repairs the
# installed copy; any other build, even of the same version, is another
# product that replaces the installed one. The UpgradeCode never changes.
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 STAGE_DIR VERSION OUT_MSI ICON" >&2
    exit 2
fi
STAGE=$(cd "$1" && pwd) VERSION=$2 OUT=$3 ICON=$4
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
die() { echo "make-msi: $*" >&2; exit 1; }

UPGRADE_CODE=C8D3AEB1-DB5F-4277-A4F8-F2D549E5FA4D
# The help link of the installed-programs entry; the default lies under a reserved example domain.
HELP_LINK=${KORVELLO_HELP_URL:-https://example.com/korvello/help}
grep -qE '^https://[A-Za-z0-9._~:/?#@!$&()*+,;=%-]+$' <<<"$HELP_LINK" || die "KORVELLO_HELP_URL must be an https address"

for c in wixl msibuild msiinfo; do command -v $c >/dev/null || die "missing '$c' (scripts/prereqs.sh installs it)"; done
# Windows Installer versions are major.minor.build with at most 255.255.65535,
# written without leading zeros so that one version has one spelling.
[[ $VERSION =~ ^(0|[1-9][0-9]{0,2})\.(0|[1-9][0-9]{0,2})\.(0|[1-9][0-9]{0,4})$ ]] &&
    ((BASH_REMATCH[1] <= 255 && BASH_REMATCH[2] <= 255 && BASH_REMATCH[3] <= 65535)) ||
    die "version '$VERSION' is no Windows Installer version (at most 255.255.65535)"
for f in korvello.exe korvello_shell.dll korvello-shell.msix README.txt THIRD-PARTY.md; do [[ -s $STAGE/$f ]] || die "no $f in $STAGE"; done
[[ -d $STAGE/licenses ]] || die "no licenses/ in $STAGE"
[[ -s $ICON ]] || die "no icon at $ICON"

# A name-based GUID (the layout of RFC 4122's version 5) of a text.
name_guid() {
    local h
    h=$(printf '%s' "$1" | sha1sum | cut -c1-32 | tr a-f A-F)
    local variant=$(((16#${h:16:1} & 3) | 8))
    printf '%s-%s-5%s-%X%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" "$variant" "${h:17:3}" "${h:20:12}"
}
CONTENT=$(cd "$STAGE" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-64)
PRODUCT_CODE=$(name_guid "Korvello product x64 $VERSION $CONTENT")
PACKAGE_CODE=$(name_guid "Korvello package x64 $VERSION $CONTENT")

WORK=$(mktemp -d)
trap 'rm -rf "$WORK" "$OUT.tmp"' EXIT

# The licence texts, one component whose key path is a value of the current user.
{
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>'
    echo '<DirectoryRef Id="LicensesDir">'
    echo '<Component Id="LicenseTexts" Guid="C166D86A-981B-4C59-9076-1D485CA88165">'
    echo '<RegistryValue Root="HKCU" Key="Software\Korvello\Install" Name="Licenses" Type="integer" Value="1" KeyPath="yes"/>'
    echo '<RemoveFolder Id="RemoveLicensesDir" On="uninstall"/>'
    n=0
    while IFS= read -r f; do
        [[ $f =~ ^[A-Za-z0-9._+-]+$ ]] || die "licence file name '$f' needs quoting in XML"
        n=$((n + 1))
        echo "<File Id=\"License$n\" Name=\"$f\" Source=\"licenses/$f\"/>"
    done < <(cd "$STAGE/licenses" && find . -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort)
    ((n > 0)) || die "no licence texts in $STAGE/licenses"
    echo '</Component></DirectoryRef>'
    echo '<ComponentGroup Id="Licenses"><ComponentRef Id="LicenseTexts"/></ComponentGroup></Fragment></Wix>'
} >"$WORK/licenses.wxs"
[[ -z $(find "$STAGE/licenses" -mindepth 1 -type d) ]] || die "folders inside licenses/ are not carried"

# Explorer's entry for every other kind the program takes (the list in its
# source), in one component of the current user's values.
KINDS_HEADER=$HERE/../src/app/media_kinds.h
mapfile -t KINDS < <(sed -n '/kMediaExtensions = {/,/};/p' "$KINDS_HEADER" | grep -o '"[a-z0-9]*"' | tr -d '"' | grep -vx mp4)
((${#KINDS[@]} >= 30)) || die "the kinds' list was not found in $KINDS_HEADER"
# Explorer shows a verb in the user's language from the string it names in
# korvello.exe (MUIVerb), as Windows' own verbs: each table's text, by its id.
TEXTS=$HERE/../src/app/texts.def
VERB_PLACE=$(grep -E '^KV_TEXT\(' "$TEXTS" | grep -n '^KV_TEXT(ConvertVerb,' | cut -d: -f1)
[[ $VERB_PLACE =~ ^[0-9]+$ ]] || die "ConvertVerb not found in $TEXTS"
MUI_VERB="@[INSTALLDIR]korvello.exe,-$((2000 + VERB_PLACE - 1))"
{
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>'
    echo '<DirectoryRef Id="INSTALLDIR">'
    echo '<Component Id="MoreFileMenus" Guid="5D0C3B9E-4A27-4F61-8C1B-2E7A9F3D6B40">'
    echo '<RegistryValue Root="HKCU" Key="Software\Korvello\Install" Name="MoreFileMenus" Type="integer" Value="1" KeyPath="yes"/>'
    for e in "${KINDS[@]}"; do
        k="Software\Classes\SystemFileAssociations\.$e\shell\Korvello.ConvertToMp3"
        echo "<RegistryValue Root=\"HKCU\" Key=\"$k\" Type=\"string\" Value=\"Convert to MP3 with Korvello\"/>"
        echo "<RegistryValue Root=\"HKCU\" Key=\"$k\" Name=\"MUIVerb\" Type=\"string\" Value=\"$MUI_VERB\"/>"
        echo "<RegistryValue Root=\"HKCU\" Key=\"$k\" Name=\"Icon\" Type=\"string\" Value=\"&quot;[INSTALLDIR]korvello.exe&quot;,0\"/>"
        echo "<RegistryValue Root=\"HKCU\" Key=\"$k\\command\" Type=\"string\" Value=\"&quot;[INSTALLDIR]korvello.exe&quot; /convert &quot;%1&quot;\"/>"
    done
    echo '</Component></DirectoryRef>'
    echo '<ComponentGroup Id="MoreFileMenus"><ComponentRef Id="MoreFileMenus"/></ComponentGroup></Fragment></Wix>'
} >"$WORK/kinds.wxs"

mkdir -p "$(dirname "$OUT")"
OUT=$(cd "$(dirname "$OUT")" && pwd)/$(basename "$OUT")
cp "$ICON" "$WORK/korvello.ico"
# wixl takes the files' sources relative to the folder it runs in.
ICON_REL=$(realpath --relative-to="$STAGE" "$WORK/korvello.ico")
cd "$STAGE"
wixl -a x64 -o "$OUT.tmp" \
    -D Version="$VERSION" -D ProductCode="$PRODUCT_CODE" -D UpgradeCode="$UPGRADE_CODE" \
    -D StageDir=. -D IconFile="$ICON_REL" -D HelpLink="$HELP_LINK" -D MuiVerb="$MUI_VERB" \
    "$HERE/korvello.wxs" "$WORK/licenses.wxs" "$WORK/kinds.wxs"
# wixl gives every build a random package code: this one follows from the content.
msibuild "$OUT.tmp" -s "Installation Database" "Korvello Labs" "x64;1033" "{$PACKAGE_CODE}"
# The older version goes only once the newer one is in, after InstallFinalize:
# an upgrade that fails or is cancelled on the way leaves the older version
# installed and working (a removal before it would run in a transaction of its
# own, done whatever follows). The components keep their codes from version to
# version, so removing the older one takes nothing the newer one installed.
# Another build of the same version replaces the installed one too (the
# upgrade's range includes the version).
msibuild "$OUT.tmp" -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 6601 WHERE \`Action\` = 'RemoveExistingProducts'"
# The install location is known once the costing has settled the folders.
msibuild "$OUT.tmp" -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1001 WHERE \`Action\` = 'SetInstallLocation'"
# Attributes 513: migrate the features, the maximum version included.
msibuild "$OUT.tmp" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msibuild "$OUT.tmp" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
    VALUES ('{$UPGRADE_CODE}', '$VERSION', 513, 'WIX_UPGRADE_DETECTED')"
[[ $(msiinfo export "$OUT.tmp" InstallExecuteSequence | tr -d '\r' |
    awk -F'\t' '$1 ~ /^(CostFinalize|SetInstallLocation|InstallFinalize|RemoveExistingProducts)$/ { print $1 "=" $3 }' |
    sort | tr '\n' ' ') == "CostFinalize=1000 InstallFinalize=6600 RemoveExistingProducts=6601 SetInstallLocation=1001 " ]] ||
    die "could not place RemoveExistingProducts and SetInstallLocation"
# The package's actions: removed before the files go, registered after the older version is gone.
placed=$(msiinfo export "$OUT.tmp" InstallExecuteSequence | tr -d '\r' |
    awk -F'\t' '$1 ~ /ExplorerPackage$/ { print $1 "=" $3 }' | sort | tr '\n' ' ')
[[ $placed == "RegisterExplorerPackage=6602 UnregisterExplorerPackage=1399 " ]] ||
    die "could not place the package's actions ($placed)"
[[ $(msiinfo export "$OUT.tmp" Upgrade | tr -d '\r' | awk -F'\t' '$7 == "WIX_UPGRADE_DETECTED" { print $3 "/" $5 }') == "$VERSION/513" ]] ||
    die "could not include this version in the upgrade's range"
mv -f "$OUT.tmp" "$OUT"
echo "make-msi: $OUT ($(stat -c %s "$OUT") bytes), ProductCode {$PRODUCT_CODE}, package {$PACKAGE_CODE}"
