#!/usr/bin/env bash
# Fails when a lower layer includes a higher one: nothing in import/, oracle/
# or platform/ may include from app/ or cli/, and cli/ may not include app/.
# Usage: check-layers.sh [source root]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
status=0

check() {
    local layer=$1 forbidden=$2
    [ -d "$root/$layer" ] || return 0
    local found
    found=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($forbidden)/" "$root/$layer" \
        --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.c' || true)
    if [ -n "$found" ]; then
        echo "$layer/ includes from a layer above it:"
        echo "$found" | sed "s|^$root/||"
        status=1
    fi
}

check import 'app|cli'
check oracle 'app|cli|import'
check platform 'app|cli|import|oracle'
check cli 'app'
exit $status
