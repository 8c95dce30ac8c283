#!/bin/bash
# Draws the markup bar's and its pickers' buttons into images/ (ImageMagick):
# six state pictures side by side (normal, hover, on or pressed, hover and on,
# disabled, spare) as "<name>_button_large.png" (64 pixels) and
# "<name>_button_small.png" (32), the "_tr" pictures the compact bar's tool
# and width buttons show, and the frame "markup_bgr64.png" whose corners are
# the see-through colour 0x666564. The results are committed; run this again
# only to change them.
set -euo pipefail
cd "$(dirname "$0")/images"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

icon() {  # <name> <draw arguments...>: the icon alone, 48 x 48, transparent
  local name=$1; shift
  convert -size 48x48 xc:none "$@" PNG32:"$tmp/icon-$name.png"
}
ink='#243447'
icon clear -fill none -stroke '#b03020' -strokewidth 5 -draw "line 10,10 38,38" -draw "line 38,10 10,38"
icon undo -fill none -stroke "$ink" -strokewidth 5 -draw "arc 10,12 40,40 180,360" \
  -fill "$ink" -stroke none -draw "polygon 4,26 18,26 11,36"
icon redo -fill none -stroke "$ink" -strokewidth 5 -draw "arc 8,12 38,40 180,360" \
  -fill "$ink" -stroke none -draw "polygon 30,26 44,26 37,36"
icon photo -fill '#3c4a5e' -stroke none -draw "roundrectangle 4,14 44,40 4,4" \
  -draw "rectangle 16,9 30,15" -fill '#e8eef6' -draw "circle 24,27 24,19" \
  -fill '#3c4a5e' -draw "circle 24,27 24,23"
icon exit -fill none -stroke "$ink" -strokewidth 4 -draw "polyline 26,8 8,8 8,40 26,40" \
  -stroke '#b03020' -draw "line 18,24 42,24" -fill '#b03020' -stroke none -draw "polygon 44,24 34,16 34,32"
icon color -fill '#e03030' -stroke none -draw "circle 16,18 16,8" -fill '#30a040' \
  -draw "circle 32,18 32,8" -fill '#3050e0' -draw "circle 24,32 24,22"
icon shapes -fill none -stroke "$ink" -strokewidth 4 -draw "rectangle 6,20 26,40" \
  -stroke '#3050e0' -draw "circle 32,16 32,6"
icon menu -fill "$ink" -stroke none -draw "roundrectangle 6,9 42,15 3,3" \
  -draw "roundrectangle 6,21 42,27 3,3" -draw "roundrectangle 6,33 42,39 3,3"
icon pen -fill '#1f4fa8' -stroke '#0b2a66' -strokewidth 1.5 \
  -draw "polygon 32,6 42,16 18,40 6,42 8,30" -fill '#f2f2f2' -stroke none -draw "polygon 6,42 8,30 13,37"
icon pencil -fill '#f0b030' -stroke '#6a4a10' -strokewidth 1.5 \
  -draw "polygon 34,4 44,14 16,42 6,42 6,32" -fill '#303030' -stroke none -draw "polygon 6,42 6,36 12,42"
icon marker -fill none -stroke '#f0e020' -strokewidth 8 -draw "line 6,40 42,40" \
  -fill '#f0e020' -stroke '#6b5a00' -strokewidth 1.5 -draw "polygon 30,4 44,18 22,36 10,36 10,24"
icon cutter -fill none -stroke "$ink" -strokewidth 3 -draw "circle 14,34 14,27" -draw "circle 34,34 34,27" \
  -draw "line 18,28 36,6" -draw "line 30,28 12,6"
icon selector -fill none -stroke "$ink" -strokewidth 3 -draw "stroke-dasharray 5 4 rectangle 6,6 42,42"
widths=(2 4 7 11 16)
for i in 1 2 3 4 5; do
  icon "width$i" -fill "$ink" -stroke none \
    -draw "roundrectangle 6,$((24 - ${widths[$((i - 1))]} / 2)) 42,$((24 + (${widths[$((i - 1))]} + 1) / 2)) 2,2"
done

strip() {  # <name> <suffix>: <name>_button_large<suffix>.png and <name>_button_small<suffix>.png
  local name=$1 suffix=$2 icon="$tmp/icon-$1.png" pictures=()
  local faces=('#e9edf3' '#f7fafe' '#b9cde8' '#cfe0f5' '#e3e3e3' '#e9edf3')
  local edges=('#9aa7b8' '#4f86c6' '#2f5f9e' '#2f5f9e' '#b8b8b8' '#9aa7b8')
  for i in 0 1 2 3 4 5; do
    local picture="$tmp/$name-$i.png"
    convert -size 64x64 xc:none -fill "${faces[$i]}" -stroke "${edges[$i]}" -strokewidth 2 \
      -draw "roundrectangle 3,3 60,60 10,10" PNG32:"$picture"
    if [ "$i" = 4 ]; then
      convert "$icon" -modulate 100,0 -channel A -evaluate multiply 0.45 +channel PNG32:"$tmp/$name-dim.png"
      composite -gravity center "$tmp/$name-dim.png" "$picture" PNG32:"$picture"
    else
      composite -gravity center "$icon" "$picture" PNG32:"$picture"
    fi
    pictures+=("$picture")
  done
  convert "${pictures[@]}" +append +repage PNG32:"${name}_button_large${suffix}.png"
  convert "${name}_button_large${suffix}.png" -resize 192x32 +repage PNG32:"${name}_button_small${suffix}.png"
}
for name in clear undo redo photo exit color shapes menu pen pencil marker cutter selector \
            width1 width2 width3 width4 width5; do
  strip "$name" ""
done
# The compact bar's tool and width buttons.
for name in pen pencil marker selector cutter width1 width2 width3 width4 width5; do
  strip "$name" "_tr"
done

convert -size 64x64 xc:'#646566' -fill '#2e3440' -stroke '#8a6d3b' -strokewidth 2 \
  -draw "roundrectangle 1,1 62,62 12,12" +antialias PNG24:markup_bgr64.png
mogrify -strip -define png:exclude-chunk=date,time ./*_button_large*.png ./*_button_small*.png markup_bgr64.png
