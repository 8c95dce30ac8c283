#!/bin/bash
# check_floors_test.sh <check-floors> <source root>
# The floor check must fail on an include that runs upward and name the line,
# and pass on includes that keep to the floors: first on small trees made for
# each case, then on a copy of the real sources with one upward include added.
set -uo pipefail
check=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect <case> <pass|fail> <file:line the message must name, or -> <file>=<include>...
expect() {
  local name=$1 want=$2 where=$3
  shift 3
  local tree=$work/$name
  mkdir -p "$tree"
  # Every folder a case may name exists, with one header to include.
  for folder in core recognition ink shell family/stub outside hook64 win; do
    mkdir -p "$tree/$folder"
    echo '#pragma once' >"$tree/$folder/Own.h"
  done
  local spec file
  for spec in "$@"; do
    file=$tree/${spec%%=*}
    printf '#pragma once\n#include "%s"\n' "${spec#*=}" >"$file"
  done
  local output status
  output=$("$check" "$tree" 2>&1)
  status=$?
  if [ "$want" = pass ] && [ $status -ne 0 ]; then
    echo "FAIL $name: the check refused a sound tree:"; echo "$output"; failures=$((failures + 1))
  elif [ "$want" = fail ] && [ $status -eq 0 ]; then
    echo "FAIL $name: the check passed an upward include"; failures=$((failures + 1))
  elif [ "$want" = fail ] && ! grep -q "^$where: " <<<"$output"; then
    echo "FAIL $name: the message does not name $where:"; echo "$output"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

expect sound-floors pass - \
  core/A.h=outside/Own.h recognition/A.h=core/Own.h ink/A.h=recognition/Own.h \
  shell/A.h=ink/Own.h family/stub/A.h=outside/Own.h outside/A.h=hook64/Own.h ink/B.h=Own.h
expect core-includes-shell fail core/A.h:2 core/A.h=shell/Own.h
expect core-includes-ink fail core/A.h:2 core/A.h=ink/Own.h
expect recognition-includes-ink fail recognition/A.h:2 recognition/A.h=ink/Own.h
expect ink-includes-shell fail ink/A.h:2 ink/A.h=shell/Own.h
expect stand-in-includes-the-program fail family/stub/A.h:2 family/stub/A.h=ink/Own.h
expect program-includes-a-stand-in fail shell/A.h:2 shell/A.h=family/stub/Own.h
expect interface-includes-the-program fail outside/A.h:2 outside/A.h=core/Own.h
# A bare name that only an include path could find.
expect bare-name-from-another-floor fail ink/A.h:2 ink/A.h=Missing.h

# The real sources, sound as they are, and with one upward include added.
copy=$work/real
mkdir -p "$copy"
for folder in core recognition ink ui shell family outside hook64 win xml gestures resources \
              shape merge page_analysis; do
  [ -d "$source/$folder" ] && cp -r "$source/$folder" "$copy/"
done
if ! "$check" "$copy" >/dev/null; then
  echo "FAIL real-tree: the sources themselves do not keep to the floors:"; "$check" "$copy"
  failures=$((failures + 1))
else
  echo "ok   real-tree"
fi
lines=$(wc -l <"$copy/core/Trace.h")
echo '#include "shell/ServiceWindow.h"' >>"$copy/core/Trace.h"
output=$("$check" "$copy" 2>&1)
if [ $? -eq 0 ] || ! grep -q "^core/Trace.h:$((lines + 1)): includes shell/ServiceWindow.h" <<<"$output"; then
  echo "FAIL real-tree-with-upward-include:"; echo "$output"; failures=$((failures + 1))
else
  echo "ok   real-tree-with-upward-include"
fi

[ $failures -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
