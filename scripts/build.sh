#!/usr/bin/env bash
# Configures and builds rowpour into build/ (or $ROWPOUR_BUILD_DIR). Extra
# arguments go to cmake's configure step, e.g. -DROWPOUR_SANITIZE=ON.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ROWPOUR_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${ROWPOUR_BUILD_TYPE:-RelWithDebInfo} "$@"
cmake --build "$build" -j "$(nproc)"
