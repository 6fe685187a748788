#!/usr/bin/env bash
# Draws Telltale's artwork with ImageMagick: the logo beside the info lines
# (logo.bmp, 24-bit, 79 x 114) and the application icon (telltale.png,
# telltale.ico). The motif is a magnifying glass that finds a hidden pattern in
# a picture. Run from anywhere; it writes next to itself.
set -euo pipefail
cd "$(dirname "$0")"

ink='#1d3557'     # frame, glass rim and lettering
sky='#a8dadc'
hill='#52b788'
sun='#f4a261'
hidden='#e63946'  # what the glass reveals
handle='#6c584c'

# The picture with the glass over it, drawn on a 100 x 100 canvas scaled by $1.
scene() {
  local s=$1
  local draw=(
    -stroke none -fill "$sky" -draw "roundrectangle $((4*s)),$((4*s)) $((96*s)),$((78*s)) $((6*s)),$((6*s))"
    -fill "$sun" -draw "circle $((74*s)),$((22*s)) $((74*s)),$((31*s))"
    -fill "$hill" -draw "polygon $((4*s)),$((66*s)) $((30*s)),$((40*s)) $((52*s)),$((58*s)) $((70*s)),$((46*s)) $((96*s)),$((64*s)) $((96*s)),$((78*s)) $((4*s)),$((78*s))"
    -fill none -stroke "$ink" -strokewidth $((3*s)) -draw "roundrectangle $((4*s)),$((4*s)) $((96*s)),$((78*s)) $((6*s)),$((6*s))"
    # The lens: lighter inside, with the hidden dots showing through.
    -stroke none -fill '#ffffffb0' -draw "circle $((40*s)),$((46*s)) $((40*s)),$((68*s))"
    -fill "$hidden"
    -draw "rectangle $((30*s)),$((36*s)) $((35*s)),$((41*s))"
    -draw "rectangle $((41*s)),$((36*s)) $((46*s)),$((41*s))"
    -draw "rectangle $((36*s)),$((42*s)) $((41*s)),$((47*s))"
    -draw "rectangle $((47*s)),$((42*s)) $((52*s)),$((47*s))"
    -draw "rectangle $((30*s)),$((48*s)) $((35*s)),$((53*s))"
    -draw "rectangle $((41*s)),$((48*s)) $((46*s)),$((53*s))"
    -draw "rectangle $((36*s)),$((54*s)) $((41*s)),$((59*s))"
    -fill none -stroke "$ink" -strokewidth $((6*s)) -draw "circle $((40*s)),$((46*s)) $((40*s)),$((68*s))"
    -stroke "$handle" -strokewidth $((11*s)) -draw "line $((57*s)),$((63*s)) $((84*s)),$((90*s))"
    -stroke "$ink" -strokewidth $((3*s)) -draw "line $((56*s)),$((62*s)) $((60*s)),$((66*s))"
  )
  printf '%s\n' "${draw[@]}"
}

mapfile -t icon_draw < <(scene 4)
convert -size 400x400 xc:none "${icon_draw[@]}" -resize 256x256 -depth 8 -strip telltale.png
convert telltale.png -define icon:auto-resize=256,48,32,16 telltale.ico

# The logo: the scene on white, the name beneath it. BMP3 with no alpha is the
# classic 24-bit bitmap.
mapfile -t logo_draw < <(scene 4)
convert -size 400x400 xc:white "${logo_draw[@]}" -resize 79x79 \
  -background white -gravity north -extent 79x114 \
  -font DejaVu-Sans-Bold -pointsize 14 -fill "$ink" -stroke none \
  -gravity south -annotate +0+10 'Telltale' \
  -alpha off -type TrueColor -strip BMP3:logo.bmp
