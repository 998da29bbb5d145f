#!/usr/bin/env bash
# Makes the RTF samples of tests/irun/office with LibreOffice's Writer (headless): a
# document holding a PNG, a JPEG and a Windows metafile, made here from nothing, and
# one of headings (LibreOffice marks them by style). The pictures and the .rtf are
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
profile=$(mktemp -d)
trap 'rm -rf "$profile" pictures.html headings.html' EXIT
soffice "-env:UserInstallation=file://$profile" --headless --infilter="HTML (StarWriter)" \
  --convert-to rtf --outdir . pictures.html headings.html >/dev/null
