#!/bin/bash
# Installs what is missing, builds every tree and runs every test: the native
# tree under AddressSanitizer and UBSan, the Windows trees under Wine (each in
# its own test prefix under build/<tree>/wine, never ~/.wine).
# Extra arguments go to ctest (for example -R gestures).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh native win32 win64

# One ctest run over the three trees, so that the run ends with one summary.
cat >build/CTestTestfile.cmake <<'CTEST'
subdirs("native" "win32" "win64")
CTEST
jobs=$(nproc)
[ "$jobs" -gt 4 ] && jobs=4
cd build
exec ctest --output-on-failure --timeout 600 -j "$jobs" "$@"
