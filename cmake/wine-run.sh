#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix (with KV_DPI set,
# in the prefix of that DPI beside it). ctest uses it as the cross-compiling
# emulator; scripts use it too.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../scripts/lib/kv.sh
source "$here/../scripts/lib/kv.sh"
# KV_DPI: run in the prefix of that display DPI (see kv_use_dpi).
[[ -n ${KV_DPI:-} ]] && kv_use_dpi "$KV_DPI"
kv_wine_prefix_ready
exec wine "$@"
