#!/usr/bin/env bash
# The layer check passes a tree whose includes go downward and fails one
# where the engine reaches into the window code.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/import/workbook" "$tree/app" "$tree/oracle"
echo '#include "oracle/Oracle.h"' >"$tree/import/Run.cpp"
echo '#include "import/Run.h"' >"$tree/app/Window.cpp"
bash "$check" "$tree" >/dev/null || { echo "a clean tree was refused"; exit 1; }
echo '  #  include "app/Window.h"' >"$tree/import/workbook/Reader.h"
if bash "$check" "$tree" >/dev/null; then
    echo "an upward include was not found"
    exit 1
fi
