# shellcheck shell=bash
# The dist tests' checks: one PASS or FAIL line each, failures counted in FAILED.
FAILED=0
check() { # name command...
    local name=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "PASS: $name"; else echo "FAIL: $name"; FAILED=$((FAILED + 1)); fi
}
fails() { ! "$@"; }
