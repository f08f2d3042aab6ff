#!/usr/bin/env bash
# Runs a command that uses Wine, then ends the Wine server of every prefix of
# BUILD_DIR (and of $WINEPREFIX when it lies elsewhere) however the command
# ends: passing, failing or interrupted. Runs keep their prefix's server up on
# purpose (kv_wine_prefix_ready) and a server outlives the command that started
# it, so each Makefile target that runs Wine goes through this.
# Usage: cmake/wine-session.sh BUILD_DIR COMMAND [ARGS...]
set -uo pipefail
if [[ $# -lt 2 ]]; then
    echo "usage: $0 BUILD_DIR COMMAND [ARGS...]" >&2
    exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(realpath -m -- "$1")
shift
prefix=${WINEPREFIX:-}

# kv.sh is sourced in a subshell, for the stop alone: the command keeps the caller's environment.
stop_wine() {
    (
        # shellcheck source=../scripts/lib/kv.sh
        source "$here/../scripts/lib/kv.sh"
        kv_stop_wine_servers "$build"
        [[ -n $prefix && $(realpath -m -- "$prefix") != "$build"/* ]] && kv_stop_wine_servers_of "$prefix"
        true
    )
}
trap stop_wine EXIT
# A signal ends the script through its EXIT trap, with the shell's usual code.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
"$@"
