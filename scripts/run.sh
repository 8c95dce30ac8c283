#!/bin/bash
# Installs what is missing, builds the 32-bit tree (and the 64-bit helper) and
# starts Scribix under Wine in its own prefix (build/run/prefix), from a folder
# that holds the program with its libraries and stand-ins as installed
# (build/run/app). On the user's display it runs until it is closed (menu
# "Close Scribix"); otherwise it runs on a private Xvfb, a screenshot is saved
# to build/run/screenshot.png after a few seconds, and it is closed cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
scripts/build.sh win32 win64

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

app=$run/app
rm -rf "$app"
mkdir -p "$app"
cp build/win32/bin/Scribix.exe build/win32/bin/Scribix35.dll build/win32/bin/ZVCrashRep.dll \
   build/win32/bin/gestures.dll build/win64/bin/ScribixDaemon64.exe "$app/"
# The engine folders: "English" with the recognizer, the gate library and its lexicons.
cp -r build/win32/bin/English "$app/"
program=$app/Scribix.exe
echo "run: starting $program"
# The program's entry point returns 1 when it ends normally.
if [ -z "$xvfb_pid" ]; then
  status=0
  wine "$program" || status=$?
  [ "$status" -eq 1 ] && exit 0
  exit "$status"
fi

wine "$program" &
scribix_pid=$!
sleep 2
import -window root "$run/screenshot.png" && echo "run: screenshot saved to $run/screenshot.png"
# taskkill without /F posts WM_CLOSE to the program's windows: an ordinary shut-down.
wine taskkill /IM Scribix.exe >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$scribix_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$scribix_pid" 2>/dev/null; then
  echo "run: Scribix did not end after WM_CLOSE" >&2
  exit 1
fi
status=0
wait "$scribix_pid" || status=$?
echo "run: Scribix ended with $status"
[ "$status" -eq 1 ]
