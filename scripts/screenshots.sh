#!/usr/bin/env bash
# Retakes the README's screenshots (docs/screenshots/*.png) from the real
# windows, with the offscreen platform against a throw-away development
# database. Build first (scripts/build.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ROWPOUR_BUILD_DIR:-$root/build}"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
cmake --build "$build" --target rowpour-screenshots
HOME="$home" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen ROWPOUR_BUILD_DIR="$build" \
    "$build/tests/screenshots/rowpour-screenshots" "$root/docs/screenshots"
