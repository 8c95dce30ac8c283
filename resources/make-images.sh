#!/bin/bash
# Draws the program's icon, cursor and bitmaps into images/ (ImageMagick and
# python3). The results are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/images"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The program icon: a blue pen writing a red stroke, at 16, 32 and 48 pixels.
for size in 16 32 48; do
  s=$(( size ))
  convert -size 48x48 xc:none \
    -fill '#1f4fa8' -stroke '#0b2a66' -strokewidth 1 \
    -draw "polygon 30,4 44,18 18,44 6,42 4,30" \
    -fill '#f2f2f2' -stroke none -draw "polygon 6,42 4,30 10,36" \
    -fill none -stroke '#d02020' -strokewidth 3 \
    -draw "bezier 4,46 14,38 24,48 44,40" \
    -resize ${s}x${s} PNG32:"$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" scribix.ico

# The notification-area icons: the pen on (a blue pen over a green dot) and off
# (a grey pen), at 16 and 32 pixels.
pen_icon() {  # <out.ico> <pen fill> <pen edge> <dot fill>
  for size in 16 32; do
    convert -size 32x32 xc:none \
      -fill "$4" -stroke none -draw "circle 23,23 23,31" \
      -fill "$2" -stroke "$3" -strokewidth 1 \
      -draw "polygon 20,2 30,12 10,30 2,30 2,22" \
      -resize ${size}x${size} PNG32:"$tmp/pen$size.png"
  done
  convert "$tmp/pen16.png" "$tmp/pen32.png" "$1"
}
pen_icon pen-on.ico '#1f4fa8' '#0b2a66' '#2faa3a'
pen_icon pen-off.ico '#a0a0a0' '#5a5a5a' none

# The marker cursor: a broad felt-tip, hot spot at its tip (2, 29).
convert -size 32x32 xc:none \
  -fill '#f7e34a' -stroke '#6b5a00' -strokewidth 1 \
  -draw "polygon 2,29 6,19 22,3 29,10 13,26" \
  -fill '#6b5a00' -stroke none -draw "polygon 2,29 6,22 9,25" \
  PNG32:"$tmp/marker.png"
convert "$tmp/marker.png" "$tmp/marker.ico"
python3 - "$tmp/marker.ico" marker.cur 2 29 <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
hx, hy = int(sys.argv[3]), int(sys.argv[4])
struct.pack_into('<H', data, 2, 2)            # type 2: cursor
count = struct.unpack_from('<H', data, 4)[0]
for i in range(count):                         # planes and bit count become the hot spot
    struct.pack_into('<HH', data, 6 + 16 * i + 4, hx, hy)
open(sys.argv[2], 'wb').write(data)
PY

# The splash: 400 x 240, the name over a handwritten underline.
convert -size 400x240 gradient:'#fdfdfb-#dfe7f2' \
  -fill none -stroke '#1f4fa8' -strokewidth 4 \
  -draw "bezier 60,170 140,150 220,196 340,160" \
  -stroke none -fill '#1f3f78' -font DejaVu-Serif-Bold -pointsize 56 \
  -annotate +92+140 'Scribix' \
  -fill '#4a5a70' -font DejaVu-Sans -pointsize 14 \
  -annotate +132+214 'pen input for Windows' \
  -bordercolor '#1f3f78' -border 2 -resize 400x240! \
  -type TrueColor BMP3:splash.bmp

# The menu picture strip: 5 columns x 6 rows of 31 x 27 cells, a small mark in each.
args=()
for col in 0 1 2 3 4; do
  for row in 0 1 2 3 4 5; do
    x=$(( col * 31 + 2 )) y=$(( row * 27 + 2 ))
    hue=$(( (col * 6 + row) * 12 ))
    args+=(-fill "hsl($hue,60%,45%)" -draw "roundrectangle $((x+8)),$((y+6)) $((x+22)),$((y+20)) 3,3")
  done
done
convert -size 159x166 xc:'#f0f0f0' "${args[@]}" -type TrueColor BMP3:menu-pictures.bmp

# The main bar's buttons: six state pictures side by side (normal, hover, on
# or pressed, hover and on, disabled, spare), at 64 and 32 pixels, and the
# frame behind them. The frame's corners are the see-through colour 0x666564
# (COLORREF: red 100, green 101, blue 102).
button_icon() {  # <name> <draw arguments...>: the icon alone, 48 x 48, transparent
  local name=$1; shift
  convert -size 48x48 xc:none "$@" PNG32:"$tmp/icon-$name.png"
}
button_icon pen -fill '#1f4fa8' -stroke '#0b2a66' -strokewidth 1.5 \
  -draw "polygon 32,6 42,16 18,40 6,42 8,30" -fill '#f2f2f2' -stroke none \
  -draw "polygon 6,42 8,30 13,37"
button_icon markup -fill none -stroke '#f0c419' -strokewidth 7 -draw "line 6,40 42,40" \
  -fill '#d0402a' -stroke '#6a1a10' -strokewidth 1.5 -draw "polygon 30,4 42,16 22,36 10,36 10,24"
button_icon punctuation -fill '#243447' -stroke none -font DejaVu-Sans-Bold -pointsize 34 \
  -annotate +7+38 '?!'
button_icon correction -fill '#243447' -stroke none -font DejaVu-Sans-Bold -pointsize 26 \
  -annotate +2+30 'Ab' -fill none -stroke '#2f9a3a' -strokewidth 4 -draw "polyline 14,38 22,45 42,26"
button_icon binding -fill none -stroke '#3c5a8a' -strokewidth 5 \
  -draw "roundrectangle 4,16 28,32 8,8" -draw "roundrectangle 20,16 44,32 8,8"
button_icon menu -fill '#243447' -stroke none -draw "roundrectangle 6,9 42,15 3,3" \
  -draw "roundrectangle 6,21 42,27 3,3" -draw "roundrectangle 6,33 42,39 3,3"

button_strip() {  # <name>: <name>_button64.png and <name>_button32.png
  local name=$1 icon="$tmp/icon-$1.png" pictures=()
  local faces=('#e9edf3' '#f7fafe' '#b9cde8' '#cfe0f5' '#e3e3e3' '#e9edf3')
  local edges=('#9aa7b8' '#4f86c6' '#2f5f9e' '#2f5f9e' '#b8b8b8' '#9aa7b8')
  for i in 0 1 2 3 4 5; do
    local picture="$tmp/$name-$i.png"
    convert -size 64x64 xc:none -fill "${faces[$i]}" -stroke "${edges[$i]}" -strokewidth 2 \
      -draw "roundrectangle 3,3 60,60 10,10" PNG32:"$picture"
    if [ "$i" = 4 ]; then
      convert "$icon" -modulate 100,0 -channel A -evaluate multiply 0.45 +channel \
        PNG32:"$tmp/$name-dim.png"
      composite -gravity center "$tmp/$name-dim.png" "$picture" PNG32:"$picture"
    else
      composite -gravity center "$icon" "$picture" PNG32:"$picture"
    fi
    pictures+=("$picture")
  done
  convert "${pictures[@]}" +append +repage PNG32:"${name}_button64.png"
  convert "${name}_button64.png" -resize 192x32 +repage PNG32:"${name}_button32.png"
}
for name in pen markup punctuation correction binding menu; do button_strip "$name"; done

convert -size 64x64 xc:'#646566' -fill '#3b4250' -stroke '#6d7789' -strokewidth 2 \
  -draw "roundrectangle 1,1 62,62 12,12" +antialias PNG24:base_bgr64.png
# No time stamps in the files: drawing them again changes nothing.
mogrify -strip -define png:exclude-chunk=date,time ./*_button*.png base_bgr64.png

ls -l
