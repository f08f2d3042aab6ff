#!/usr/bin/env bash
# Prints one property of an MSI (ProductCode, UpgradeCode, ARPPRODUCTICON ...),
# as its Property table holds it; nothing when it has none.
# Usage: dist/msi-property.sh MSI NAME
set -euo pipefail
[[ $# -eq 2 && -s $1 ]] || { echo "usage: $0 MSI NAME" >&2; exit 2; }
msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'
