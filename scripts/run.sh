#!/bin/bash
# Installs what is missing, builds the Windows trees and starts Scribix under
# Wine in its own prefix (build/run/prefix-<tree>), from a folder that holds the
# program with its libraries and stand-ins as installed (build/run/app): the
# 32-bit program where this machine runs 32-bit programs, the 64-bit build where
# it cannot (or with SCRIBIX_WIN32=0). On the user's display it runs until it is closed (menu
# "Close Scribix"). Otherwise it shows what it does on a private Xvfb: it
# starts Scribix and our edit target program, xdotool writes a short phrase
# over the edit with the test handwriting generator's strokes, the program
# types what it recognized into the edit, a screenshot is saved to
# build/run/screenshot.png, and both programs are closed cleanly.
#
# The prefix keeps Wine's default window management (managed windows), as a
# user's own prefix has it, so that what it shows is what a user gets.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
scripts/build.sh win32 win64

. scripts/wine-env
if scribix_runs_32bit; then
  tree=win32
  echo "run: starting the 32-bit program"
  scribix_use_wine 32
else
  tree=win64
  echo "run: $SCRIBIX_WIN32_WHY: starting the 64-bit build"
  scribix_use_wine 64
fi
bin=build/$tree/bin

run=$root/build/run
export WINEPREFIX=$run/prefix-$tree WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$run"
if [ ! -f "$WINEPREFIX/.scribix-managed" ]; then
  echo "run: making the Wine prefix $WINEPREFIX (once)"
  scribix_wine wineboot -i >/dev/null 2>&1 || true
  # The test settings without their unmanaged windows: fonts and no crash dialog.
  sed -e 's/@GRAPHICS@/x11/' -e '/"Managed"="N"/d' scripts/wine-test.reg >"$run/settings.reg"
  scribix_wine regedit /S "$(scribix_wine winepath -w "$run/settings.reg" 2>/dev/null)" >/dev/null 2>&1
  # A prefix made by an older run.sh may still hold the unmanaged setting.
  scribix_wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.scribix-managed"
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
cp $bin/Scribix.exe $bin/Scribix35.dll $bin/ZVCrashRep.dll $bin/ZVFatInk.dll $bin/gestures.dll \
   build/win64/bin/ScribixDaemon64.exe build/win64/bin/vexaHook64.dll "$app/"
# The engine folders: "English" with the recognizer, the gate library and its lexicons.
cp -r $bin/English "$app/"
program=$app/Scribix.exe
echo "run: starting $program"
# The program's entry point returns 1 when it ends normally.
if [ -z "$xvfb_pid" ]; then
  status=0
  scribix_wine "$program" || status=$?
  [ "$status" -eq 1 ] && exit 0
  exit "$status"
fi

# The program's trace (OutputDebugString, which Wine 8 reports on its "seh"
# channel) goes to the log: it tells when the system client runs and what the
# current result is after each writing.
log=$run/scribix.log
WINEDEBUG=-all,warn+seh scribix_wine "$program" 2>"$log" &
scribix_pid=$!
stop_programs() {
  # taskkill without /F posts WM_CLOSE to a program's windows: an ordinary shut-down.
  scribix_wine taskkill /IM target_edit.exe >/dev/null 2>&1 || true
  scribix_wine taskkill /IM Scribix.exe >/dev/null 2>&1 || true
}
for _ in $(seq 300); do
  grep -q "SystemClient: the recognition thread runs" "$log" 2>/dev/null && break
  kill -0 "$scribix_pid" 2>/dev/null || break
  sleep 0.1
done
# The rest of the start-up (icons, the helper); the pen goes on at its end.
sleep 2

phrase="hello world"
result=""
scribix_wine $bin/target_edit.exe /multiline >/dev/null 2>&1 &
target_pid=$!
if timeout 30 xdotool search --sync --name "Scribix test target: edit" >/dev/null; then
  sleep 1  # the edit takes the focus, and the hook library sees it
  echo "run: writing \"$phrase\" over the edit"
  build/$tree/family/handwriting/handwrite-host --xdotool --point-ms 6 --seed 3 --height 16 \
    --x 120 --y 150 "$phrase" | xdotool -
  for _ in $(seq 50); do
    grep -q "SystemClient: current result" "$log" && break
    sleep 0.1
  done
  sleep 0.5  # the typed keys reach the edit
  result=$(grep -o 'SystemClient: current result[^"]*\\"[^\\]*' "$log" | tail -1 |
    sed 's/.*\\"//' || true)
  echo "run: the program recognized \"${result:-nothing}\""
else
  echo "run: the target program did not show its window" >&2
fi
import -window root "$run/screenshot.png" && echo "run: screenshot saved to $run/screenshot.png"
stop_programs
status=0
for pid in "$target_pid" "$scribix_pid"; do
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
done
if kill -0 "$scribix_pid" 2>/dev/null || kill -0 "$target_pid" 2>/dev/null; then
  echo "run: a program did not end after WM_CLOSE" >&2
  exit 1
fi
wait "$target_pid" || true
wait "$scribix_pid" || status=$?
echo "run: Scribix ended with $status"
[ "$status" -eq 1 ] && [ -n "$result" ] && [ "$result" = "$phrase" ]
