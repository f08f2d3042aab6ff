#!/usr/bin/env bash
# The source folders form layers, lowest first: win, components, app, convert,
# ui, shell. A file may include its own folder and the folders below it, never one
# above; main.cpp, which wires them, may include any. Fails on every upward edge.
set -uo pipefail
SRC=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../src" && pwd)}
LAYERS=(win components app convert ui shell)
rank() {
    local i
    for i in "${!LAYERS[@]}"; do [[ ${LAYERS[i]} == "$1" ]] && { echo "$i"; return; }; done
    echo -1
}
bad=0 files=0
while IFS= read -r -d '' f; do
    rel=${f#"$SRC"/}
    own=${rel%%/*}
    [[ $rel == */* ]] || continue  # main.cpp
    own_rank=$(rank "$own")
    if ((own_rank < 0)); then
        echo "unknown layer: $rel"
        bad=$((bad + 1))
        continue
    fi
    files=$((files + 1))
    while IFS= read -r inc; do
        target=${inc%%/*}
        [[ $inc == */* ]] || continue
        r=$(rank "$target")
        ((r < 0)) && continue
        if ((r > own_rank)); then
            echo "upward include: $rel -> $inc"
            bad=$((bad + 1))
        fi
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$f")
done < <(find "$SRC" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
((files > 0)) || { echo "no sources under $SRC"; exit 1; }
if ((bad)); then
    echo "$bad include(s) point upward"
    exit 1
fi
echo "$files files, every include points down or sideways"
