#!/usr/bin/env bash
# clang-tidy over the portable sources of a native build (its compile
# commands), at zero warnings. Usage: tests/tidy_test.sh NATIVE_BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
db=$build/compile_commands.json
[[ -f $db ]] || { echo "no $db (configure with CMAKE_EXPORT_COMPILE_COMMANDS)" >&2; exit 2; }
mapfile -t sources < <(python3 - "$db" "$root/src/" <<'PY'
import json, sys
db, src = sys.argv[1], sys.argv[2]
print("\n".join(sorted({e["file"] for e in json.load(open(db)) if e["file"].startswith(src)})))
PY
)
((${#sources[@]})) || { echo "no portable sources in $db" >&2; exit 2; }
echo "clang-tidy: ${#sources[@]} files"
rc=0
out=$(clang-tidy -p "$build" --quiet "${sources[@]}" 2>&1) || rc=$?
# WarningsAsErrors makes every finding fail; the counts of suppressed system-header notes are noise.
grep -v -e '^[0-9]* warnings\? generated\.$' -e '^Suppressed ' -e '^Use -header-filter' <<<"$out" || true
exit $rc
