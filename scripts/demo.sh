#!/usr/bin/env bash
# Installs what rowpour needs, builds it and runs the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
build=${ROWPOUR_BUILD_DIR:-$root/build}
"$build/cli/rowpour-batch" --help
