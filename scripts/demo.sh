#!/usr/bin/env bash
# Installs what rowpour needs, builds it and runs the demo (scripts/run-demo.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
bash "$root/scripts/run-demo.sh"
