#!/usr/bin/env bash
# Makes the RTF samples of tests/irun/office with LibreOffice's Writer (headless): a
# document holding a PNG, a JPEG and a Windows metafile, made here from nothing; one of
# headings (LibreOffice marks them by style); one of shapes, placeholders and shaded
# paragraphs in a Courier New page; and one of headings in an outline list without
# numbers, at the page's own size. The pictures and the .rtf are
# committed, so the tests need no LibreOffice; rerun after
# changing a sample (apt-get install libreoffice-writer-nogui imagemagick).
set -euo pipefail
cd "$(dirname "$0")/office"
convert -size 40x30 gradient:red-blue -strip png:picture.png
convert -size 32x24 gradient:yellow-green -strip -quality 80 jpg:picture.jpg
# A placeable Windows metafile: a red rectangle on a 400 x 300 window.
python3 - <<'PY'
import struct
def record(function, *params):
    return struct.pack("<IH", 3 + len(params), function) + b"".join(struct.pack("<h", p) for p in params)
records = [
    record(0x020B, 0, 0),                                  # SETWINDOWORG
    record(0x020C, 300, 400),                              # SETWINDOWEXT
    struct.pack("<IHHIh", 7, 0x02FC, 0, 0x0000FF, 0),      # CREATEBRUSHINDIRECT, solid red
    record(0x012D, 0),                                     # SELECTOBJECT
    record(0x041B, 250, 300, 50, 100),                     # RECTANGLE
    record(0x0000),                                        # EOF
]
body = b"".join(records)
header = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(body)) // 2, 1,
                     max(len(r) for r in records) // 2, 0)
placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 400, 300, 1440, 0)
checksum = 0
for i in range(0, 20, 2):
    checksum ^= struct.unpack("<H", placeable[i:i + 2])[0]
open("picture.wmf", "wb").write(placeable + struct.pack("<H", checksum) + header + body)
PY
cat > pictures.html <<'HTML'
<html><body>
<p>A PNG: <img src="picture.png" width="40" height="30"></p>
<p>A JPEG: <img src="picture.jpg"></p>
<p>A metafile: <img src="picture.wmf"></p>
</body></html>
HTML
cat > headings.html <<'HTML'
<html><body>
<h1>Top heading</h1>
<p>Text under the top heading.</p>
<h2>Second level with <i>italic</i></h2>
<h3>Third level</h3>
<p>Last paragraph.</p>
</body></html>
HTML
namespaces='xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text"'
cat > shapes.fodt <<FODT
<?xml version="1.0" encoding="UTF-8"?>
<office:document $namespaces>
 <office:font-face-decls>
  <style:font-face style:name="Courier New" svg:font-family="'Courier New'" style:font-family-generic="modern" style:font-pitch="fixed"/>
 </office:font-face-decls>
 <office:styles>
  <style:default-style style:family="paragraph">
   <style:text-properties style:font-name="Courier New" fo:font-size="10pt"/>
  </style:default-style>
  <style:style style:name="Standard" style:family="paragraph"/>
 </office:styles>
 <office:automatic-styles>
  <style:style style:name="Shaded" style:family="paragraph">
   <style:paragraph-properties fo:background-color="#e0e8ff"/>
  </style:style>
  <style:style style:name="Boxed" style:family="paragraph">
   <style:paragraph-properties fo:background-color="#ffffcc" fo:border="0.5pt solid #000000" fo:padding="0.1cm"/>
  </style:style>
  <style:style style:name="fr1" style:family="graphic">
   <style:graphic-properties style:wrap="none" style:vertical-pos="top" style:vertical-rel="paragraph" style:horizontal-pos="left" style:horizontal-rel="paragraph"/>
  </style:style>
 </office:automatic-styles>
 <office:body>
  <office:text>
   <text:p text:style-name="Standard">Card front, before the box.</text:p>
   <text:p text:style-name="Standard"><draw:frame draw:style-name="fr1" draw:name="Box1" text:anchor-type="paragraph" svg:width="6cm" svg:height="3cm" svg:x="1cm" svg:y="0cm"><draw:text-box><text:p text:style-name="Standard">Designed by Ann Example</text:p><text:p text:style-name="Standard">Printed on recycled card</text:p></draw:text-box></draw:frame>Text beside the box.</text:p>
   <text:p text:style-name="Standard">A floating picture: <draw:frame draw:style-name="fr1" draw:name="Pic1" text:anchor-type="paragraph" svg:width="1.06cm" svg:height="0.79cm" svg:x="8cm" svg:y="0cm"><draw:image><office:binary-data>$(base64 -w0 picture.png)</office:binary-data></draw:image></draw:frame>after it.</text:p>
   <text:p text:style-name="Standard">Dear <text:placeholder text:placeholder-type="text">Title</text:placeholder> <text:placeholder text:placeholder-type="text">Recipient's name</text:placeholder>, welcome.</text:p>
   <text:p text:style-name="Shaded">int main() { return 0; }</text:p>
   <text:p text:style-name="Boxed">boxed and shaded</text:p>
  </office:text>
 </office:body>
</office:document>
FODT
cat > outline.fodt <<FODT
<?xml version="1.0" encoding="UTF-8"?>
<office:document $namespaces>
 <office:styles>
  <style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph" style:default-outline-level="1" style:list-style-name="Plain">
   <style:text-properties fo:font-size="12pt" fo:font-weight="bold"/>
  </style:style>
  <style:style style:name="Heading_20_2" style:display-name="Heading 2" style:family="paragraph" style:default-outline-level="2" style:list-style-name="Plain">
   <style:text-properties fo:font-size="12pt" fo:font-style="italic"/>
  </style:style>
  <text:list-style style:name="Plain">
   <text:list-level-style-number text:level="1" style:num-format=""/>
   <text:list-level-style-number text:level="2" style:num-format=""/>
  </text:list-style>
  <text:list-style style:name="Bullets">
   <text:list-level-style-bullet text:level="1" text:bullet-char="&#x2022;"/>
  </text:list-style>
 </office:styles>
 <office:body>
  <office:text>
   <text:list text:style-name="Plain"><text:list-item><text:h text:style-name="Heading_20_1" text:outline-level="1">Plain first heading</text:h></text:list-item></text:list>
   <text:p>Body text under it.</text:p>
   <text:list text:style-name="Plain"><text:list-item><text:list><text:list-item><text:h text:style-name="Heading_20_2" text:outline-level="2">Plain second heading</text:h></text:list-item></text:list></text:list-item></text:list>
   <text:list text:style-name="Bullets"><text:list-item><text:p>A real bullet</text:p></text:list-item></text:list>
  </office:text>
 </office:body>
</office:document>
FODT
profile=$(mktemp -d)
trap 'rm -rf "$profile" pictures.html headings.html shapes.fodt outline.fodt' EXIT
soffice "-env:UserInstallation=file://$profile" --headless --infilter="HTML (StarWriter)" \
  --convert-to rtf --outdir . pictures.html headings.html >/dev/null
soffice "-env:UserInstallation=file://$profile" --headless --convert-to rtf --outdir . \
  shapes.fodt outline.fodt >/dev/null
