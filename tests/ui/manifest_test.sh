#!/usr/bin/env bash
# The manifest built into the program: version 6 of the common controls, and
# long paths declared (without it Windows refuses paths of 260 characters or
# more even where the system allows them).
set -euo pipefail
exe=${1:?program}
manifest=$(python3 - "$exe" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
m = re.search(rb"<assembly.*?</assembly>", data, re.S)
print(m.group(0).decode() if m else "")
PY
)
[[ -n $manifest ]] || { echo "FAIL: no manifest in $exe"; exit 1; }
status=0
expect() { # description regex
    if grep -Pzq -- "$2" <<<"$manifest"; then echo "ok: $1"; else echo "FAIL: $1"; status=1; fi
}
expect "common controls 6" 'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"'
expect "long paths" '<longPathAware xmlns="http://schemas\.microsoft\.com/SMI/2016/WindowsSettings">true</longPathAware>'
exit $status
