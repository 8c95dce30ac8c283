#!/bin/bash
# Configures and builds the given trees (default: native, win32, win64).
# Where this machine cannot run 32-bit programs (scripts/wine-env), the win32
# tree builds only what is installed (the program, its libraries and the
# stand-ins): its tests could not run here, and its export checks need only
# those.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(native win32 win64)
for tree in "${trees[@]}"; do
  echo "== build $tree"
  cmake --preset "$tree" >/dev/null
  if [ "$tree" = win32 ] && ! scribix_runs_32bit; then
    echo "build: $SCRIBIX_WIN32_WHY: the win32 tree builds its deliverables only"
    cmake --build --preset "$tree" --target scribix_deliverables
  else
    cmake --build --preset "$tree"
  fi
done
