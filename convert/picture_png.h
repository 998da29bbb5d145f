// Pictures that a note cannot carry as they are (metafiles and bitmaps), drawn with GDI
// and encoded as PNG with Windows' own codecs (WIC). Windows only; the header itself
// needs no <windows.h>.
#pragma once

#include "convert/pictures.h"
#include "text/wide_string.h"

// The largest picture drawn: so many pixels a side and so many in all (a 32-bit bitmap
// of 32 MB). A hostile size asks for no more; a run-length bitmap expands to no more
// pixels than this either.
constexpr int kMaxPictureSide = 8192;
constexpr long long kMaxPicturePixels = 4096LL * 2048;

// Draws a metafile (EMF, WMF) or bitmap (DIB, device-dependent bitmap) at width x height
// pixels on white into a 32-bit bitmap and encodes it as PNG with WIC (24 bits a pixel,
// no alpha), which then replaces png. False with failure (a plain reason for the log)
// when it cannot be drawn or encoded: another format, a size of zero, below zero or
// beyond the limits above, data that does not hold together, or a system call that
// fails; png is left alone then. Runs COM on the calling thread for the call, in
// whichever apartment the thread already has.
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

// The display size in pixels at 96 dpi, each side on its own, by irun::PictureDisplaySide
// (the rule the converter's image references follow): the goal size or else the RTF's
// size (for metafiles in 0.01 mm), scaled by scaleX and scaleY; for a DIB without sizes,
// its header's size; for an EMF without sizes, its header's frame. A side with nothing
// to go by is 0; one with a size is at least 1.
void PictureDisplaySize(const PictureData& picture, int& width, int& height);
