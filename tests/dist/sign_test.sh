#!/usr/bin/env bash
# Signing the release with a throwaway self-signed certificate: korvello.exe
# (in the zip and inside the installer) and the installer verify against it;
# a changed byte or an unsigned file does not; a wrong password stops the
# release; without a certificate the release is unsigned and says so.
# Usage: tests/dist/sign_test.sh KORVELLO_EXE TOOLS_DIR VERSION ICON
set -uo pipefail
unset KORVELLO_SIGN_PFX KORVELLO_SIGN_PASSWORD KORVELLO_SIGN_PASSWORD_FILE KORVELLO_SIGN_TIMESTAMP_URL
[[ $# -eq 4 ]] || { echo "usage: $0 KORVELLO_EXE TOOLS_DIR VERSION ICON" >&2; exit 2; }
EXE=$1 TOOLS=$2 VERSION=$3 ICON=$4
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
NAME=korvello-$VERSION-win64
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
# shellcheck source=tests/dist/checks.sh
source "$ROOT/tests/dist/checks.sh"
verify() { osslsigncode verify -CAfile "$W/cert.pem" -in "$1"; }
dist() { # outdir, with the environment given
    "$ROOT/dist/make-dist.sh" "$EXE" "$TOOLS" "$VERSION" "$1" "$ICON" >"$1.log" 2>&1
}

# The package of Explorer's entry must be signed by the publisher korvello.exe names.
PUBLISHER=$(python3 "$ROOT/dist/make-package.py" publisher "$EXE")
SUBJ=/$(sed 's/, /\n/g' <<<"$PUBLISHER" | tac | paste -sd/)
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/key.pem" -out "$W/cert.pem" -days 2 \
    -subj "$SUBJ" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/other-key.pem" -out "$W/other-cert.pem" -days 2 \
    -subj "/CN=Korvello test signing" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
openssl pkcs12 -export -out "$W/other.pfx" -inkey "$W/other-key.pem" -in "$W/other-cert.pem" -passout pass: -name other
openssl pkcs12 -export -out "$W/test.pfx" -inkey "$W/key.pem" -in "$W/cert.pem" -passout pass:s3cret -name test
printf 's3cret' >"$W/password"
openssl pkcs12 -export -out "$W/open.pfx" -inkey "$W/key.pem" -in "$W/cert.pem" -passout pass: -name test

echo "== signed"
KORVELLO_SIGN_PFX=$W/test.pfx KORVELLO_SIGN_PASSWORD_FILE=$W/password dist "$W/signed"
check "make-dist signs with a certificate and its password file" [ $? -eq 0 ]
check "it says the release is signed" grep -q 'are signed' "$W/signed.log"
unzip -q "$W/signed/$NAME.zip" korvello.exe -d "$W/from-zip"
check "korvello.exe in the zip verifies against the certificate" verify "$W/from-zip/korvello.exe"
unzip -q "$W/signed/$NAME.zip" korvello_shell.dll korvello-shell.msix -d "$W/from-zip"
check "so do korvello_shell.dll and the package" bash -c 'osslsigncode verify -CAfile "$1" -in "$2" && osslsigncode verify -CAfile "$1" -in "$3"' _ "$W/cert.pem" "$W/from-zip/korvello_shell.dll" "$W/from-zip/korvello-shell.msix"
check "the installer verifies against the certificate" verify "$W/signed/$NAME.msi"
mkdir -p "$W/from-msi" && (cd "$W/from-msi" && msiextract "$W/signed/$NAME.msi" >/dev/null)
inside=$(find "$W/from-msi" -name korvello.exe | head -n 1)
check "the installer carries the signed korvello.exe" cmp -s "$inside" "$W/from-zip/korvello.exe"
check "the checksums are of the signed files" bash -c "cd '$W/signed' && sha256sum -c --status $NAME.zip.sha256 $NAME.msi.sha256"
check "winget's manifest names the signed installer" /usr/bin/python3 "$ROOT/tests/dist/winget_test.py" \
    "$W/signed/winget" "$W/signed/$NAME.msi" \
    "$("$ROOT/dist/msi-property.sh" "$W/signed/$NAME.msi" ProductCode)" \
    "$VERSION"

echo "== what must not verify"
check "the build's own korvello.exe is unsigned" fails verify "$EXE"
cp "$W/from-zip/korvello.exe" "$W/changed.exe"
# One byte of the code changed after signing: the hash does not match.
printf '\x90' | dd of="$W/changed.exe" bs=1 seek=8192 conv=notrunc status=none
check "a byte changed after signing fails verification" fails verify "$W/changed.exe"
KORVELLO_SIGN_PFX=$W/test.pfx KORVELLO_SIGN_PASSWORD=wrong dist "$W/wrong"
check "a wrong password stops the release" [ $? -ne 0 ]
check "saying it could not sign" grep -q 'could not sign korvello.exe' "$W/wrong.log"
KORVELLO_SIGN_PFX=$W/missing.pfx dist "$W/missing"
check "a certificate file that is not there stops the release" [ $? -ne 0 ]
check "saying so" grep -q 'no certificate file' "$W/missing.log"

KORVELLO_SIGN_PFX=$W/other.pfx dist "$W/other"
check "a certificate whose subject is not the package's publisher stops the release" [ $? -ne 0 ]
check "saying so" grep -q "is not the publisher '$PUBLISHER'" "$W/other.log"

echo "== a certificate file without a password"
KORVELLO_SIGN_PFX=$W/open.pfx dist "$W/open"
check "signs without a password given" [ $? -eq 0 ]
check "and its installer verifies" verify "$W/open/$NAME.msi"

echo "== unsigned"
env -u KORVELLO_SIGN_PFX "$ROOT/dist/make-dist.sh" "$EXE" "$TOOLS" "$VERSION" "$W/plain" "$ICON" >"$W/plain.log" 2>&1
check "without a certificate the release is made" [ $? -eq 0 ]
check "and says it is unsigned" grep -q 'UNSIGNED' "$W/plain.log"
unzip -q "$W/plain/$NAME.zip" korvello.exe -d "$W/plain-zip"
check "its korvello.exe is the build's, unchanged" cmp -s "$W/plain-zip/korvello.exe" "$EXE"
check "its installer carries no signature" fails verify "$W/plain/$NAME.msi"

echo "sign_test: $FAILED failed"
[[ $FAILED -eq 0 ]]
