#!/bin/bash
# Builds the benchmarks without sanitizers (native) and for Windows, and runs
# each: natively, then under Wine. Arguments go to every benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh bench win32
for b in build/bench/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== native: $(basename "$b")"
  "$b" "$@"
done
export WINEPREFIX=$PWD/build/win32/wine/null WINEDEBUG=-all
scripts/wine-prefix up "$WINEPREFIX" null
trap 'scripts/wine-prefix down "$WINEPREFIX" null' EXIT
for b in build/win32/bin/bench_*.exe; do
  [ -f "$b" ] || continue
  echo "== wine: $(basename "$b")"
  wine "$b" "$@"
done
