#!/bin/bash
# Draws the pictures of the settings dialog's "Ink" page into images/settings/
# (ImageMagick): a normal and a selected 23 by 23 picture for each pen and
# size button. The results are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/images/settings"

# <out.bmp> <background> <draw arguments...>
picture() {
  local out=$1 background=$2
  shift 2
  convert -size 23x23 "xc:$background" "$@" -type TrueColor BMP3:"$out"
}
normal='#f0f0f0'
selected='#bcd4f6'
frame=(-fill none -stroke '#3a6fc4' -strokewidth 1 -draw "rectangle 0,0 22,22")

for state in normal selected; do
  bg=${!state}
  extra=()
  [ "$state" = selected ] && extra=("${frame[@]}")
  # The pen: a dark blue nib with a solid stroke.
  picture "pen-$state.bmp" "$bg" -fill '#1f4fa8' -stroke '#0b2a66' -strokewidth 1 \
    -draw "polygon 14,3 19,8 9,18 4,19 5,13" -stroke '#0b2a66' -strokewidth 2 \
    -draw "line 3,20 8,20" "${extra[@]}"
  # The pencil: a yellow body with a grey point and a thin grey line.
  picture "pencil-$state.bmp" "$bg" -fill '#e8c232' -stroke '#7a6418' -strokewidth 1 \
    -draw "polygon 15,3 19,7 9,17 5,13" -fill '#808080' -draw "polygon 5,13 9,17 4,18" \
    -stroke '#808080' -strokewidth 1 -draw "line 3,20 12,20" "${extra[@]}"
  # The sizes: a dot as wide as the pen width (1, 2, 3 and 5 pixels, shown larger).
  n=1
  for radius in 1 2 3 5; do
    picture "size$n-$state.bmp" "$bg" -fill black -stroke none \
      -draw "circle 11,11 11,$((11 + radius))" "${extra[@]}"
    n=$((n + 1))
  done
done
