#!/usr/bin/env bash
# Runs a command with DISPLAY on a fresh Xvfb server on a free display number,
# unless KV_USE_DISPLAY=1 asks to use the caller's display.
set -euo pipefail
if [ "${KV_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
n=90
while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 2048x1800x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${n}" ] && break
    sleep 0.1
done
export DISPLAY=":$n"
"$@"
