#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes small images with real encoders, for the structure walk's tests, into
# the directory given, with a manifest of what the tools say of each:
#   NAME format FORMAT
#   NAME appended OFFSET LENGTH KIND     data after the image's own end
#   NAME thumbnail OFFSET LENGTH         an EXIF thumbnail's extent
#   NAME place OFFSET CONTEXT...         the place of the byte at OFFSET
# Offsets are 0-based. Needs ImageMagick's convert, cjpeg and wrjpgcom
# (libjpeg-turbo-progs), exiftool, zip and python3.
# Usage: make_sample_images.sh DIRECTORY
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 DIRECTORY" >&2; exit 2; }
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"
work=parts
mkdir "$work"

size() { stat -c %s "$1"; }
manifest() { printf '%s\n' "$*" >>manifest.txt; }
: >manifest.txt

# Pictures with enough detail for some entropy-coded data, and comments that
# hold both markers' text, so that findings lie in many kinds of place.
convert -seed 7 -size 96x64 plasma:red-blue "$work/picture.ppm"
convert -size 24x16 gradient:yellow-green "$work/small.ppm"

convert "$work/picture.ppm" -quality 90 -set comment "cdn and CDN" photo.jpg
manifest photo.jpg format jpeg

cjpeg -progressive -quality 85 "$work/picture.ppm" >"$work/progressive.jpg"
wrjpgcom -comment "CDN in a progressive file" "$work/progressive.jpg" >progressive.jpg
manifest progressive.jpg format jpeg

cjpeg -restart 1 -quality 95 "$work/picture.ppm" >"$work/restart.jpg"
wrjpgcom -comment "CDN between restart intervals" "$work/restart.jpg" >restart.jpg
manifest restart.jpg format jpeg

# A photo with an EXIF thumbnail that has its own comment and tables, and an
# EXIF text field that holds a marker.
convert "$work/small.ppm" -quality 80 -set comment "thumbnail CDN" "$work/thumb.jpg"
cp photo.jpg thumbnail.jpg
exiftool -q -overwrite_original "-ThumbnailImage<=$work/thumb.jpg" -Artist="CDN" thumbnail.jpg
read -r thumb_offset thumb_length < <(exiftool -s3 -n -ThumbnailOffset -ThumbnailLength \
  thumbnail.jpg | paste -sd ' ')
manifest thumbnail.jpg format jpeg
manifest thumbnail.jpg thumbnail "$thumb_offset" "$thumb_length"
manifest thumbnail.jpg place "$thumb_offset" EXIF thumbnail: JPEG start of image marker
manifest thumbnail.jpg place $((thumb_offset + thumb_length - 2)) \
  EXIF thumbnail: JPEG end of image marker

# Data after a photo: a ZIP, a second JPEG, an MP4-like ftyp box.
printf 'a note that says CDN \377\333\n' >"$work/note.txt"
(cd "$work" && zip -q -0 note.zip note.txt)
cat photo.jpg "$work/note.zip" >appended_zip.jpg
manifest appended_zip.jpg format jpeg
manifest appended_zip.jpg appended "$(size photo.jpg)" "$(size "$work/note.zip")" zip

cat photo.jpg "$work/thumb.jpg" >appended_jpeg.jpg
manifest appended_jpeg.jpg format jpeg
manifest appended_jpeg.jpg appended "$(size photo.jpg)" "$(size "$work/thumb.jpg")" jpeg

printf '\0\0\0\030ftypisom\0\0\2\0isomCDN\377\333' >"$work/box.mp4"
cat photo.jpg "$work/box.mp4" >appended_mp4.jpg
manifest appended_mp4.jpg format jpeg
manifest appended_mp4.jpg appended "$(size photo.jpg)" "$(size "$work/box.mp4")" mp4

# A photo whose APP2 MPF index declares three more images: entry 2 the last
# one in the file, entry 3 one with its own EXIF thumbnail, before it, and
# entry 4 one at offset 0, the photo itself, which is not walked again.
python3 - photo.jpg thumbnail.jpg "$thumb_offset" "$work/thumb.jpg" mpf.jpg <<'EOF' >>manifest.txt
import struct, sys
main, third, thumb, second, name = sys.argv[1:]
main, third, second = (open(p, "rb").read() for p in (main, third, second))
gap = b"CDN between the images"

table_at = 8 + 2 + 3 * 12 + 4  # after the header, the IFD and its next-IFD link
def segment(offsets):
    entries = b"".join(struct.pack(">IIIHH", 0, 0, o, 0, 0) for o in offsets)
    ifd = struct.pack(">H", 3)
    ifd += struct.pack(">HHI4s", 0xB000, 7, 4, b"0100")
    ifd += struct.pack(">HHII", 0xB001, 4, 1, len(offsets))
    ifd += struct.pack(">HHII", 0xB002, 7, 16 * len(offsets), table_at)
    payload = b"MPF\0" + b"MM\0\x2a" + struct.pack(">I", 8) + ifd + struct.pack(">I", 0) + entries
    return b"\xff\xe2" + struct.pack(">H", 2 + len(payload)) + payload

tiff = 2 + 4 + 4  # the segment goes right after SOI
length = len(segment([0, 0, 0, 0]))
third_at = len(main) + length
second_at = third_at + len(third) + len(gap)
app2 = segment([0, second_at - tiff, third_at - tiff, 0])
with open(name, "wb") as f:
    f.write(main[:2] + app2 + main[2:] + third + gap + second)
print(name, "format jpeg")
print(name, "place", tiff - 4, "inside APP2 (MPF) segment")
print(name, "place", third_at, "MPF image 3: JPEG start of image marker")
print(name, "place", third_at + int(thumb), "MPF image 3: EXIF thumbnail: JPEG start of image marker")
print(name, "place", third_at + len(third), "after the end of the JPEG image")
print(name, "place", second_at, "MPF image 2: JPEG start of image marker")
print(name, "place", second_at + len(second) - 2, "MPF image 2: JPEG end of image marker")
EOF

# PNG, GIF and BMP, each with a comment or pixels that hold a marker, and
# some with data after the image.
convert "$work/picture.ppm" -set comment "CDN in a PNG" image.png
manifest image.png format png
{ cat image.png; printf 'CDN after the PNG'; } >appended.png
manifest appended.png format png
manifest appended.png appended "$(size image.png)" 17 unknown

convert "$work/picture.ppm" -set comment "CDN in a GIF" image.gif
manifest image.gif format gif
cat image.gif "$work/note.zip" >appended.gif
manifest appended.gif format gif
manifest appended.gif appended "$(size image.gif)" "$(size "$work/note.zip")" zip

# Pixels stored blue, green, red: "C" "D" "N", and FF DB.
convert -size 8x8 "xc:rgb(78,68,67)" -fill "rgb(0,219,255)" -draw "point 3,3" image.bmp
manifest image.bmp format bmp
convert -size 8x8 "xc:rgb(78,68,67)" BMP3:image3.bmp
manifest image3.bmp format bmp
cat image3.bmp "$work/box.mp4" >appended.bmp
manifest appended.bmp format bmp
manifest appended.bmp appended "$(size image3.bmp)" "$(size "$work/box.mp4")" mp4

rm -rf "$work"
