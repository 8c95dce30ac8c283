#!/bin/bash
# Configures and builds the given trees (default: native, win32, win64).
set -euo pipefail
cd "$(dirname "$0")/.."
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(native win32 win64)
for tree in "${trees[@]}"; do
  echo "== build $tree"
  cmake --preset "$tree" >/dev/null
  cmake --build --preset "$tree"
done
