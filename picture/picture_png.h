// Pictures that a note cannot carry as they are (metafiles and bitmaps), drawn with GDI
// and encoded as PNG with Windows' own codecs (WIC). Windows only; the header itself
// needs no <windows.h>.
#pragma once

#include "picture/picture_limits.h"
#include "picture/pictures.h"
#include "text/wide_string.h"

// Draws a metafile (EMF, WMF) or bitmap (DIB, device-dependent bitmap) at width x height
// pixels on white into a 32-bit bitmap and encodes it as PNG with WIC (24 bits a pixel,
// no alpha), which then replaces png. False with failure (a plain reason for the log)
// when it cannot be drawn or encoded: another format, a size of zero, below zero or
// beyond the limits of picture_limits.h, data that does not hold together, or a system
// call that fails; png is left alone then. Runs COM on the calling thread for the call,
// in whichever apartment the thread already has.
//
// Every header field and size inside the data is checked against the bytes there before
// any of it reaches GDI. Metafiles are played record by record, only records that draw
// (checked for their length, counts and object indexes); escapes, colour profiles and
// everything else are skipped. Run-length bitmaps are expanded here, not by GDI.
//
// A device-dependent bitmap carries its bits only: its depth and row length are those
// the RTF states (\wbmbitspixel, \wbmwidthbytes; one plane), 8 bits read through the
// system's halftone palette, 4 through the 16 VGA colours, 1 as black and white.
bool RenderPictureAsPng(const PictureData& picture, int width, int height, ByteString& png,
                        WideString& failure);
