#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Draws Telltale's artwork with ImageMagick: the logo beside the info lines
# (logo.bmp, 24-bit, 79 x 114), the application icon (telltale.png,
# telltale.ico) and the icon theme's copies for the desktop's menus
# (icons/hicolor/<size>/apps/telltale.png and the scalable
# icons/hicolor/scalable/apps/telltale.svg). The motif is a magnifying glass
# that finds a hidden pattern in a picture. Run from anywhere; it writes next to
# itself.
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

# The theme's sizes, each scaled down from the same large drawing.
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "icons/hicolor/${size}x${size}/apps"
  convert -size 400x400 xc:none "${icon_draw[@]}" -resize "${size}x${size}" -depth 8 -strip \
    "icons/hicolor/${size}x${size}/apps/telltale.png"
done

# The scalable icon: the same scene on the same 100 x 100 grid, written out by
# hand. ImageMagick's "circle" takes the centre and a point on the rim, so the
# radii here are those distances; its lines end flat, as SVG's butt caps do,
# and the lens's alpha of b0 is an opacity of 0.69.
mkdir -p icons/hicolor/scalable/apps
cat > icons/hicolor/scalable/apps/telltale.svg <<SVG
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 100 100">
  <title>Telltale</title>
  <rect x="4" y="4" width="92" height="74" rx="6" fill="$sky"/>
  <circle cx="74" cy="22" r="9" fill="$sun"/>
  <polygon points="4,66 30,40 52,58 70,46 96,64 96,78 4,78" fill="$hill"/>
  <rect x="4" y="4" width="92" height="74" rx="6" fill="none" stroke="$ink" stroke-width="3"/>
  <circle cx="40" cy="46" r="22" fill="#ffffff" fill-opacity="0.69"/>
  <g fill="$hidden">
    <rect x="30" y="36" width="5" height="5"/>
    <rect x="41" y="36" width="5" height="5"/>
    <rect x="36" y="42" width="5" height="5"/>
    <rect x="47" y="42" width="5" height="5"/>
    <rect x="30" y="48" width="5" height="5"/>
    <rect x="41" y="48" width="5" height="5"/>
    <rect x="36" y="54" width="5" height="5"/>
  </g>
  <circle cx="40" cy="46" r="22" fill="none" stroke="$ink" stroke-width="6"/>
  <line x1="57" y1="63" x2="84" y2="90" stroke="$handle" stroke-width="11"/>
  <line x1="56" y1="62" x2="60" y2="66" stroke="$ink" stroke-width="3"/>
</svg>
SVG

# The logo: the scene on white, the name beneath it. BMP3 with no alpha is the
# classic 24-bit bitmap.
mapfile -t logo_draw < <(scene 4)
convert -size 400x400 xc:white "${logo_draw[@]}" -resize 79x79 \
  -background white -gravity north -extent 79x114 \
  -font DejaVu-Sans-Bold -pointsize 14 -fill "$ink" -stroke none \
  -gravity south -annotate +0+10 'Telltale' \
  -alpha off -type TrueColor -strip BMP3:logo.bmp

# The sample the demonstration scans: the scene as an ordinary JPEG photo,
# whose quantization tables are JPHide's marker, with a comment that spells
# Hiderman's. Every Run on it ends with a Hiderman report.
convert -size 400x400 xc:white "${logo_draw[@]}" -resize 160x160 -quality 85 -strip \
  -set comment 'Telltale sample: CDN' sample.jpg
