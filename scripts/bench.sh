#!/bin/bash
# Builds the benchmarks without sanitizers (native) and for Windows, and runs
# each: natively, then under Wine (the 32-bit build where this machine runs
# 32-bit programs, else the 64-bit one). Arguments go to every benchmark.
#
# The Windows benchmarks run in prefixes of their own (build/<tree>/wine/bench-*),
# made without the test prefixes' heap checks and run unchecked, as a user's
# program runs. Those that need a display (the end-to-end latency: xdotool
# writes over a field) get the private Xvfb of their prefix, so no display of
# the caller's is needed.
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
  # From its build folder: the scratch files some write stay in the build.
  (cd "$(dirname "$b")" && "./$(basename "$b")" "$@")
done

export SCRIBIX_HEAP_CHECKS=0 SCRIBIX_CHECKS=0
null=$PWD/build/$tree/wine/bench-null
x11=$PWD/build/$tree/wine/bench-x11
scripts/wine-prefix up "$null" null "$bits"
trap 'scripts/wine-prefix down "$null" null "$bits"; scripts/wine-prefix down "$x11" x11 "$bits"' EXIT
scripts/wine-prefix up "$x11" x11 "$bits"
status=0
for b in build/$tree/bin/bench_*.exe; do
  [ -f "$b" ] || continue
  prefix=$null
  case $(basename "$b") in
    bench_end_to_end_latency.exe) prefix=$x11 ;;
  esac
  echo "== wine ($tree): $(basename "$b")"
  # wine-exec finds the prefix's display beside it and picks the loader.
  WINEPREFIX=$prefix WINEDEBUG=-all scripts/wine-exec "$b" "$@" || status=$?
done
exit "$status"
