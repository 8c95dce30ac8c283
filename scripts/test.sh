#!/bin/bash
# Installs what is missing, builds every tree and runs every test: the native
# tree under AddressSanitizer and UBSan, the Windows trees under Wine (each in
# its own test prefixes under build/<tree>/wine, never ~/.wine, started by the
# Wine loader of the tree's bitness). Both Windows trees are always built; on a
# machine that cannot run 32-bit programs (or with SCRIBIX_WIN32=0) the 32-bit
# tree builds only its deliverables, its Wine tests are reported as skipped,
# its export checks run, and the 64-bit tree runs every Windows test.
# Extra arguments go to ctest (for example -R gestures).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh win32 win64
# The native tree is only configured here: its build is the first test of the
# run (native.build, at the lowest priority), beside the Windows tests.
cmake --preset native >/dev/null

. scripts/wine-env
# The 32-bit tree's copies of the long desktop tests that bitness does not
# change (label "repeat": the bars, menus, markup, dialogs, stress and closing
# tests, the recognizer's accuracy figures) run only with SCRIBIX_WIN32=full;
# with them a run on two cores takes half as long again.
leave_out=()
if scribix_runs_32bit; then
  if [ "$SCRIBIX_WIN32" = full ]; then
    echo "test: this machine runs 32-bit programs: every Windows test runs in the win32 and win64 trees"
  else
    leave_out=(-LE '^repeat$')
    echo "test: this machine runs 32-bit programs: the Windows tests run in the win32 and win64 trees (the win32 tree's repeats of the desktop details only with SCRIBIX_WIN32=full)"
  fi
else
  echo "test: $SCRIBIX_WIN32_WHY: the win32 tree's Wine tests are skipped, the win64 tree runs them"
fi

# One ctest run over the three trees, so that the run ends with one summary.
cat >build/CTestTestfile.cmake <<'CTEST'
subdirs("native" "win32" "win64")
CTEST
# Most Windows tests wait on windows, timers and the paced pen rather than
# compute, and each prefix's desktop is a chain of its own: one job more than
# the cores (at least 3, at most 4) keeps the chains going beside the tests
# that do compute.
jobs=$(($(nproc) + 1))
[ "$jobs" -lt 3 ] && jobs=3
[ "$jobs" -gt 4 ] && jobs=4
# One more for the native tree's build, which takes a job for its whole length.
jobs=$((jobs + 1))
# A test that fails runs once more, and fails the run only when it fails
# again; the first attempt's output stays in the log. Under Wine on a busy
# machine a test program has, rarely, stalled until its deadline (twice in
# some twelve full runs here, each time in another test, and not again when
# the test ran alone).
cd build
exec ctest --output-on-failure --timeout 600 --repeat until-pass:2 -j "$jobs" "${leave_out[@]}" "$@"
