#!/bin/bash
# heap_checks_test.sh <scripts folder> <heap_probe.exe>
# The test prefix's heap checks with scripts/wine-exec fail a program that
# writes after free; the same program passes where the checks are off.
set -uo pipefail
scripts=$1 probe=$2
unchecked=$(dirname "$probe")/heap_probe_unchecked.exe

out=$("$scripts/wine-exec" "$probe" 2>&1)
status=$?
echo "$out"
[ "$status" = 77 ] && exit 77
if [ "$status" = 0 ]; then
  echo "FAIL: a write after free passed under the test prefix"
  exit 1
fi
if ! grep -q 'err:heap:' <<<"$out"; then
  echo "FAIL: the run failed, but not on a heap report"
  exit 1
fi

out=$("$scripts/wine-exec" "$unchecked" 2>&1)
status=$?
echo "$out"
if [ "$status" != 0 ]; then
  echo "FAIL: without the heap checks the probe should end well (status $status)"
  exit 1
fi
echo "PASS: caught under the heap checks, unseen without them"
