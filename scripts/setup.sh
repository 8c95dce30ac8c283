#!/bin/bash
# Installs what building and testing Scribix needs on Debian 12, when missing.
# Runs as root, or through sudo when not root.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick x11-utils
  fonts-liberation fonts-dejavu-core wamerican libagg-dev file
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# wine32 is an i386 package: the architecture must be known before the check below.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
