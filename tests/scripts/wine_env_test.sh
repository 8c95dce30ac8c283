#!/bin/bash
# wine_env_test.sh <scripts dir> <bits of the tree> <a Windows program of the tree>
# The loader choice and the 32-bit skip of scripts/wine-env and wine-exec.
set -uo pipefail
scripts=$1 bits=$2 program=$3
failures=0
check() {  # check <what> <expected> <actual>
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

. "$scripts/wine-env"
check "bitness of $(basename "$program")" "$bits" "$(scribix_pe_bits "$program")"
check "bitness of a file that is no program" "" "$(scribix_pe_bits "$0")"
check "bitness of a missing file" "" "$(scribix_pe_bits /nonexistent.exe)"

# SCRIBIX_WIN32=0 decides without a probe, on any machine.
(SCRIBIX_WIN32=0 SCRIBIX_WIN32_WHY= scribix_runs_32bit)
check "SCRIBIX_WIN32=0 runs no 32-bit program" 1 $?
(unset SCRIBIX_WIN32 SCRIBIX_WIN32_WHY; SCRIBIX_WINE32_LOADER=/nonexistent scribix_runs_32bit 2>/dev/null;
 [ "$SCRIBIX_WIN32" = 0 ] || [ "$SCRIBIX_WIN32" = 1 ])
check "the probe always answers 0 or 1" 0 $?

scribix_use_wine 32
check "loader for 32 bits" "$SCRIBIX_WINE32_LOADER" "$WINELOADER"
scribix_use_wine 64
check "loader for 64 bits" "$SCRIBIX_WINE64_LOADER" "$WINELOADER"

# A 32-bit program on the 64-bit-only path is skipped with its reason, before
# Wine is started at all (the prefix need not exist).
if [ "$bits" = 32 ]; then
  out=$(SCRIBIX_WIN32=0 SCRIBIX_WIN32_WHY= WINEPREFIX=/nonexistent "$scripts/wine-exec" "$program" 2>&1)
  check "wine-exec status for a 32-bit program with SCRIBIX_WIN32=0" 77 $?
  case $out in
    *"SKIPPED: SCRIBIX_WIN32=0 asks for the 64-bit-only path"*) check "skip reason" ok ok ;;
    *) check "skip reason" "SKIPPED: SCRIBIX_WIN32=0 ..." "$out" ;;
  esac
  out=$(SCRIBIX_WIN32=0 SCRIBIX_WIN32_WHY= "$scripts/wine-prefix" up /nonexistent/prefix null 32 2>&1)
  check "wine-prefix up of a 32-bit prefix with SCRIBIX_WIN32=0" 77 $?
fi
[ "$failures" -eq 0 ] && echo "wine-env: all checks passed"
exit $((failures > 0))
