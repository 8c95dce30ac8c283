#!/bin/bash
# Builds the benchmarks without sanitizers (native) and for Windows, and runs
# each: natively, then under Wine (the 32-bit build where this machine runs
# 32-bit programs, else the 64-bit one). Arguments go to every benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/wine-env
if scribix_runs_32bit; then
  tree=win32 bits=32
else
  tree=win64 bits=64
  echo "bench: $SCRIBIX_WIN32_WHY: the Windows figures come from the 64-bit build"
fi
scripts/build.sh bench "$tree"
for b in build/bench/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== native: $(basename "$b")"
  "$b" "$@"
done
export WINEPREFIX=$PWD/build/$tree/wine/null WINEDEBUG=-all
scripts/wine-prefix up "$WINEPREFIX" null "$bits"
trap 'scripts/wine-prefix down "$WINEPREFIX" null "$bits"' EXIT
scribix_use_wine "$bits"
for b in build/$tree/bin/bench_*.exe; do
  [ -f "$b" ] || continue
  echo "== wine ($tree): $(basename "$b")"
  scribix_wine "$b" "$@"
done
