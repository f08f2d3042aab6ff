#!/usr/bin/env bash
# Every C++ file in the repository as clang-format would write it (.clang-format).
# Usage: tests/format_test.sh [ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root"
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' ':!:tests/support/layers_fixture/*')
((${#files[@]})) || { echo "no C++ files found" >&2; exit 2; }
echo "clang-format: ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"
