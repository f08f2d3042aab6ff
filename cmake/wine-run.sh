#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix. ctest uses it as
# the cross-compiling emulator; scripts use it too.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../scripts/lib/kv.sh
source "$here/../scripts/lib/kv.sh"
kv_wine_prefix_ready
exec wine "$@"
