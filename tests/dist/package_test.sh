#!/usr/bin/env bash
# The package behind Explorer's Windows 11 entry, unpacked and checked: its
# block map against the files, its content types, its manifest against the
# schema's documented rules and korvello.exe's identity; signed with a
# throwaway certificate of the publisher's name, it verifies, and a changed
# block map, another publisher or a certificate of another name do not pass.
# Then the installer's tables: the DLL and the package among its files, the
# two actions from its Binary table, each conditioned on Windows 11's build.
# Usage: tests/dist/package_test.sh KORVELLO_EXE ICON VERSION MSI
set -uo pipefail
[[ $# -eq 4 ]] || { echo "usage: $0 KORVELLO_EXE ICON VERSION MSI" >&2; exit 2; }
EXE=$1 ICON=$2 VERSION=$3 MSI=$4
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PKG=$ROOT/dist/make-package.py
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
# shellcheck source=tests/dist/checks.sh
source "$ROOT/tests/dist/checks.sh"
unset KORVELLO_SIGN_PASSWORD KORVELLO_SIGN_PASSWORD_FILE KORVELLO_SIGN_TIMESTAMP_URL

echo "== the package as built"
python3 "$PKG" build "$EXE" "$ICON" "$VERSION" "$W/p.msix" >"$W/build.log" 2>&1
check "make-package builds it" [ -s "$W/p.msix" ]
mkdir -p "$W/folder" && cp "$EXE" "$W/folder/korvello.exe" && : >"$W/folder/korvello_shell.dll"
python3 "$PKG" check "$W/p.msix" "$EXE" "$W/folder" >"$W/check.log" 2>&1
check "every check of the unsigned package passes ($(grep -c '^PASS' "$W/check.log") checks)" grep -q '^make-package check: 0 failed' "$W/check.log"
grep '^FAIL' "$W/check.log"
check "it names one item type per kind the program takes, and folders" \
    [ "$(unzip -p "$W/p.msix" AppxManifest.xml | grep -c '<desktop5:ItemType Type=')" = \
      "$(($(sed -n '/kMediaExtensions = {/,/};/p' "$ROOT/src/app/media_kinds.h" | grep -o '"[a-z0-9]*"' | wc -l) + 1))" ]
check "the same inputs make the same package" \
    bash -c 'python3 "$1" build "$2" "$3" "$4" "$5/q.msix" >/dev/null && cmp -s "$5/p.msix" "$5/q.msix"' _ \
    "$PKG" "$EXE" "$ICON" "$VERSION" "$W"
check "a version the package cannot carry is refused" fails python3 "$PKG" build "$EXE" "$ICON" 1.0 "$W/bad.msix"
check "and so is a major version of 0, which Windows refuses" fails python3 "$PKG" build "$EXE" "$ICON" 0.9.1 "$W/bad.msix"

echo "== signed with the publisher's certificate"
PUBLISHER=$(python3 "$PKG" publisher "$EXE")
# Windows writes the most specific name first; openssl's -subj takes the certificate's order.
SUBJ=/$(sed 's/, /\n/g' <<<"$PUBLISHER" | tac | paste -sd/)
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/key.pem" -out "$W/cert.pem" -days 2 \
    -subj "$SUBJ" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
openssl pkcs12 -export -out "$W/test.pfx" -inkey "$W/key.pem" -in "$W/cert.pem" -passout pass: -name test
cp "$W/p.msix" "$W/signed.msix"
KORVELLO_SIGN_PFX=$W/test.pfx KORVELLO_SIGN_SUBJECT=$PUBLISHER "$ROOT/dist/sign.sh" "$W/signed.msix" >"$W/sign.log" 2>&1
check "sign.sh signs it when the certificate's subject is the publisher ($PUBLISHER)" grep -q 'signed' "$W/sign.log"
check "osslsigncode verifies it against the certificate" osslsigncode verify -CAfile "$W/cert.pem" -in "$W/signed.msix"
check "the signature is its last part" bash -c 'unzip -Z1 "$1" | tail -n 1 | grep -qx AppxSignature.p7x' _ "$W/signed.msix"
check "the signed package still passes every check" python3 "$PKG" check "$W/signed.msix" "$EXE" "$W/folder"
check "its content types name the signature once" \
    [ "$(unzip -p "$W/signed.msix" '\[Content_Types\].xml' | grep -o 'AppxSignature.p7x' | wc -l)" = 1 ]
cp "$W/p.msix" "$W/other.msix"
KORVELLO_SIGN_PFX=$W/test.pfx KORVELLO_SIGN_SUBJECT="CN=Someone Else" "$ROOT/dist/sign.sh" "$W/other.msix" >"$W/other.log" 2>&1
check "a certificate of another name is refused, saying so" grep -q "is not the publisher 'CN=Someone Else'" "$W/other.log"
check "and the package is left unsigned" fails osslsigncode verify -CAfile "$W/cert.pem" -in "$W/other.msix"

echo "== what must not pass"
# One block's hash changed in the block map, the archive otherwise whole.
python3 - "$W/p.msix" "$W/tampered.msix" <<'PY'
import sys, zipfile
src, dst = sys.argv[1:]
with zipfile.ZipFile(src) as z, zipfile.ZipFile(dst, "w") as out:
    for info in z.infolist():
        data = z.read(info.filename)
        if info.filename == "AppxBlockMap.xml":
            at = data.index(b'Hash="', data.index(b"<Block")) + 6
            data = data[:at] + (b"A" if data[at:at + 1] != b"A" else b"B") + data[at + 1:]
        out.writestr(info, data)
PY
check "a block hash that is not the file's fails the check" fails python3 "$PKG" check "$W/tampered.msix" "$EXE"
check "naming the file whose block is wrong" \
    bash -c 'python3 "$1" check "$2" "$3" | grep -q "^FAIL: Assets/"' _ "$PKG" "$W/tampered.msix" "$EXE"
printf '<msix xmlns="urn:schemas-microsoft-com:msix.v1" publisher="CN=Else" packageName="KorvelloLabs.Korvello" applicationId="Korvello"/>' >"$W/else.exe"
check "a program of another publisher does not match its identity" \
    bash -c 'python3 "$1" check "$2" "$3" | grep -q "^FAIL: the identity matches"' _ "$PKG" "$W/p.msix" "$W/else.exe"
cp "$W/signed.msix" "$W/changed.msix"
printf 'X' | dd of="$W/changed.msix" bs=1 seek=200 conv=notrunc status=none
check "a byte changed after signing fails verification" fails osslsigncode verify -CAfile "$W/cert.pem" -in "$W/changed.msix"
check "the check finds an external location without the program's files" \
    bash -c 'python3 "$1" check "$2" "$3" "$4" | grep -q "^FAIL: the program and the DLL"' _ "$PKG" "$W/p.msix" "$EXE" "$W"

echo "== the installer"
table() { msiinfo export "$MSI" "$1" | tr -d '\r'; }
check "it installs korvello_shell.dll and the package beside korvello.exe" \
    bash -c '[ "$(msiinfo export "$1" File | tr -d "\r" | cut -f3 | grep -cE "^(korvello_shell\.dll|korvello-shell\.msix)$")" = 2 ]' _ "$MSI"
check "its actions run the DLL from the Binary table, never failing the installation (type 65)" \
    [ "$(table CustomAction | awk -F'\t' '$1 ~ /ExplorerPackage$/ && $2 == 65 && $3 == "ShellActions" && $4 == $1' | wc -l)" = 2 ]
check "the Binary table carries the DLL" bash -c 'msiinfo streams "$1" | grep -qx Binary.ShellActions' _ "$MSI"
check "registering is conditioned on Windows 11's build, not at removal, after the older version is gone" \
    [ "$(table InstallExecuteSequence | awk -F'\t' '$1 == "RegisterExplorerPackage" { print $2 "@" $3 }')" = \
      'NOT REMOVE="ALL" AND KV_WINDOWS_BUILD >= 22000@6602' ]
check "removing the package is too, before the files in use are looked for" \
    [ "$(table InstallExecuteSequence | awk -F'\t' '$1 == "UnregisterExplorerPackage" { print $2 "@" $3 }')" = \
      'REMOVE="ALL" AND KV_WINDOWS_BUILD >= 22000@1399' ]
check "the build number is read from the registry, where Windows keeps it" \
    bash -c 'msiinfo export "$1" RegLocator | tr -d "\r" | grep -q "SOFTWARE\\\\Microsoft\\\\Windows NT\\\\CurrentVersion	CurrentBuildNumber"' _ "$MSI"

echo "package_test: $FAILED failed"
[[ $FAILED -eq 0 ]]
