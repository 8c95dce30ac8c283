#!/bin/bash
# crash_checks_test.sh <scripts folder> <crash_probe.exe>
# scripts/wine-exec fails a program that crashes, whatever status Wine leaves
# after its debugger, and says so.
set -uo pipefail
scripts=$1 probe=$2

out=$("$scripts/wine-exec" "$probe" 2>&1)
status=$?
echo "$out"
[ "$status" = 77 ] && exit 77
if [ "$status" = 0 ]; then
  echo "FAIL: a crash passed"
  exit 1
fi
if ! grep -q '^wine-exec: the program crashed' <<<"$out"; then
  echo "FAIL: the run failed, but without naming the crash"
  exit 1
fi
echo "PASS: the crash failed the run"
