#!/usr/bin/env bash
# Installs what rowpour needs, builds it and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
build=${ROWPOUR_BUILD_DIR:-$root/build}
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
