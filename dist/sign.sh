#!/usr/bin/env bash
# Signs one file (korvello.exe or the MSI) in place with Authenticode, SHA-256,
# when a certificate is given; says so and leaves the file as it is when not.
# Usage: dist/sign.sh FILE
# KORVELLO_SIGN_PFX            the PKCS#12 file with the key and certificate
# KORVELLO_SIGN_PASSWORD_FILE  a file holding its password, or
# KORVELLO_SIGN_PASSWORD       the password itself (never put on a command line)
# KORVELLO_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server, optional
# KORVELLO_SIGN_SUBJECT        when set, the certificate's subject must be this
#                              name as Windows writes it ("CN=..., O=..."): a
#                              package's publisher is checked against it
# Exit code 0 signed, 3 unsigned because no certificate was given, else failed.
set -euo pipefail

[[ $# -eq 1 && -s $1 ]] || { echo "usage: $0 FILE" >&2; exit 2; }
FILE=$1
die() { echo "sign: $*" >&2; exit 1; }

if [[ -z ${KORVELLO_SIGN_PFX:-} ]]; then
    echo "sign: no KORVELLO_SIGN_PFX given: $(basename "$FILE") stays unsigned"
    exit 3
fi
[[ -s $KORVELLO_SIGN_PFX ]] || die "no certificate file at KORVELLO_SIGN_PFX ($KORVELLO_SIGN_PFX)"
command -v osslsigncode >/dev/null || die "missing 'osslsigncode' (scripts/prereqs.sh installs it)"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
args=(sign -pkcs12 "$KORVELLO_SIGN_PFX" -h sha256 -n Korvello)
# The password goes through a file; a certificate file without one takes none.
pass=$WORK/pass
if [[ -n ${KORVELLO_SIGN_PASSWORD_FILE:-} ]]; then
    [[ -r $KORVELLO_SIGN_PASSWORD_FILE ]] || die "cannot read KORVELLO_SIGN_PASSWORD_FILE"
    cp "$KORVELLO_SIGN_PASSWORD_FILE" "$pass"
    args+=(-readpass "$pass")
elif [[ -n ${KORVELLO_SIGN_PASSWORD:-} ]]; then
    (umask 077 && printf '%s' "$KORVELLO_SIGN_PASSWORD" >"$pass")
    args+=(-readpass "$pass")
fi
[[ -n ${KORVELLO_SIGN_TIMESTAMP_URL:-} ]] && args+=(-ts "$KORVELLO_SIGN_TIMESTAMP_URL")
if [[ -n ${KORVELLO_SIGN_SUBJECT:-} ]]; then
    passin=(-passin pass:)
    [[ -s $pass ]] && passin=(-passin "file:$pass")
    # RFC 2253 order, most specific first, is Windows' order; Windows separates with ", ".
    subject=$(openssl pkcs12 -in "$KORVELLO_SIGN_PFX" -nokeys -clcerts "${passin[@]}" 2>/dev/null |
        openssl x509 -noout -subject -nameopt RFC2253 2>/dev/null | sed -e 's/^subject=//' -e 's/\([^\\]\),/\1, /g')
    [[ -n $subject ]] || die "cannot read the certificate's subject"
    [[ $subject == "$KORVELLO_SIGN_SUBJECT" ]] ||
        die "the certificate's subject '$subject' is not the publisher '$KORVELLO_SIGN_SUBJECT' $(basename "$FILE") names"
fi
osslsigncode "${args[@]}" -in "$FILE" -out "$WORK/signed" >"$WORK/log" 2>&1 ||
    die "osslsigncode could not sign $(basename "$FILE"): $(tail -n 3 "$WORK/log")"
# The signed copy replaces the file only when whole.
cp "$WORK/signed" "$FILE.signing"
mv -f "$FILE.signing" "$FILE"
echo "sign: $(basename "$FILE") signed (SHA-256${KORVELLO_SIGN_TIMESTAMP_URL:+, time-stamped})"
