#!/bin/bash
# Installs what is missing, builds the 32-bit tree and starts Scribix under
# Wine in its own prefix (build/run/prefix). On the user's display when there
# is one; otherwise on a private Xvfb, with a screenshot saved to
# build/run/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
scripts/build.sh win32

run=$root/build/run
export WINEPREFIX=$run/prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$run"
if [ ! -f "$WINEPREFIX/.scribix-ready" ]; then
  echo "run: making the Wine prefix $WINEPREFIX (once)"
  wineboot -i >/dev/null 2>&1 || true
  sed 's/@GRAPHICS@/x11/' scripts/wine-test.reg >"$run/settings.reg"
  wine regedit /S "$(winepath -w "$run/settings.reg")" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.scribix-ready"
fi

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$run/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$run/display")"
  trap 'kill $xvfb_pid 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
  echo "run: no display, using a private Xvfb on $DISPLAY"
fi

program=build/win32/bin/gestures_demo.exe
echo "run: starting $program"
wine "$program"
status=$?

if [ -n "$xvfb_pid" ]; then
  import -window root "$run/screenshot.png" && echo "run: screenshot saved to $run/screenshot.png"
fi
exit $status
