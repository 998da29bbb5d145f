#!/usr/bin/env bash
# rtf2html --pictures: the pictures land in the folder under the names the HTML uses,
# with the bytes of the pictures LibreOffice's document was made from, and a DIB as a
# .bmp file that an image reader opens.
#   rtf2html_pictures_test.sh RTF2HTML TEST_DATA_DIR WORK_DIR
set -euo pipefail
rtf2html=$1 data=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$rtf2html" --pictures "$work/pictures" -o "$work/page.html" "$data/office/pictures.rtf"
for name in _img_1.png _img_2.jpg _img_3.wmf; do
  grep -q "<img src=\"$name\"" "$work/page.html" || fail "no reference to $name"
done
cmp "$work/pictures/_img_1.png" "$data/office/picture.png" || fail "PNG bytes differ"
cmp "$work/pictures/_img_2.jpg" "$data/office/picture.jpg" || fail "JPEG bytes differ"
tail -c +23 "$data/office/picture.wmf" | cmp "$work/pictures/_img_3.wmf" - || fail "metafile bytes differ"
[ "$(identify -format %wx%h "$work/pictures/_img_1.png")" = 40x30 ] || fail "PNG size"

# A 2 x 1 DIB of 24 bits (rows padded to 4 bytes): blue, then red.
header=28000000020000000100000001001800000000000800000000000000000000000000000000000000
printf '{\\rtf1 {\\pict\\dibitmap0 %s ff0000 0000ff 0000}\\par}' "$header" > "$work/dib.rtf"
"$rtf2html" --pictures "$work/dib" "$work/dib.rtf" > "$work/dib.html"
[ "$(identify -format %wx%h "$work/dib/_img_1.bmp")" = 2x1 ] || fail "DIB is no 2x1 .bmp"
[ "$(convert "$work/dib/_img_1.bmp" -format '%[pixel:p{1,0}]' info:)" = "srgb(255,0,0)" ] ||
  fail "DIB pixel"

# A folder that cannot be made is an error.
: > "$work/file"
if "$rtf2html" --pictures "$work/file/sub" "$data/office/pictures.rtf" > /dev/null 2>&1; then
  fail "no error for a folder that cannot be made"
fi
echo "rtf2html --pictures: all checks passed"
