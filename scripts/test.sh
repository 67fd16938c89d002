#!/usr/bin/env bash
# Builds rowpour and runs every test. The Debian packages it needs are
# installed first (scripts/setup.sh, as root) when some are missing, or
# always with --setup; otherwise no root is needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
setup=
for arg in "$@"; do
  case $arg in
    --setup) setup=1 ;;
    *) echo "usage: $0 [--setup]" >&2; exit 2 ;;
  esac
done
if [ -n "$setup" ] || ! bash "$root/scripts/setup.sh" --check; then
  bash "$root/scripts/setup.sh"
fi
bash "$root/scripts/build.sh"
build=${ROWPOUR_BUILD_DIR:-$root/build}
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
