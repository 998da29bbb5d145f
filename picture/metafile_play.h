// Metafiles played into a device context one record at a time, through an allow-list of
// records that draw. GDI trusts the counts, offsets and object indexes inside a record, so
// each record let through is checked against its own length and the header's handle
// count first; escapes, colour profiles (which name files, even on network shares),
// comments and anything else not needed to draw are skipped. A record that draws is
// also checked as the device context would draw it at that moment: its shape's points,
// and the selected font and pen in pixels, after every transform, map mode and extent
// the records before it have set; one that would draw beyond the limits is skipped.
// Playing stops between records once a picture has used its time budget (0.3 s of the
// thread's time), and the picture is then refused. Windows only.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Plays an enhanced metafile stretched over width x height pixels of dc. False with
// failure (a plain reason for the log) when its header or framing does not hold together,
// Windows refuses it or its time is up; records that are not allowed are skipped, not
// failures.
bool PlayEnhancedMetafile(HDC dc, const ByteString& bytes, int width, int height,
                          WideString& failure);

// Plays a Windows metafile (no placeable header) over width x height pixels of dc in
// mappingMode (\wmetafileN: anisotropic and isotropic fill the area, the others draw in
// their own units). False with failure as above.
bool PlayWindowsMetafile(HDC dc, const ByteString& bytes, int mappingMode, int width, int height,
                         WideString& failure);
