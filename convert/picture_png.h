// Pictures that a note cannot carry as they are (metafiles and bitmaps), drawn with GDI
// and encoded as PNG with Windows' own codecs (WIC). Windows only; the header itself
// needs no <windows.h>.
#pragma once

#include "convert/pictures.h"
#include "text/wide_string.h"

// The largest picture drawn: so many pixels a side and so many in all (a 32-bit bitmap
// of 128 MB). A hostile size asks for no more.
constexpr int kMaxPictureSide = 8192;
constexpr long long kMaxPicturePixels = 8192LL * 4096;

// Draws a metafile (EMF, WMF) or bitmap (DIB, device-dependent bitmap) at width x height
// pixels on white into a 32-bit bitmap and encodes it as PNG with WIC (24 bits a pixel,
// no alpha), which then replaces png. False with failure (a plain reason for the log)
// when it cannot be drawn or encoded: another format, a size of zero, below zero or
// beyond the limits above, data that does not hold together, or a system call that
// fails; png is left alone then. Runs COM on the calling thread for the call, in
// whichever apartment the thread already has.
//
// A device-dependent bitmap carries its bits only: its depth is taken from the length of
// its rows (byte count / pixel height, rows padded to 16 bits), the largest of 32, 24,
// 16 (5-6-5), 8, 4 and 1 bits a pixel that gives rows of that length; 8 bits are read
// through the system's halftone palette, 4 through the 16 VGA colours, 1 as black and
// white.
bool RenderPictureAsPng(const PictureData& picture, int width, int height, ByteString& png,
                        WideString& failure);

// The display size in pixels at 96 dpi, each side on its own: the goal size (twips / 15)
// or else the pixel size (for metafiles a size in 0.01 mm, as the RTF gives it), scaled
// by scaleX and scaleY; for a DIB without sizes, its header's size; for an EMF without
// sizes, its header's frame. A side with nothing to go by is 0; one with a size is at
// least 1.
void PictureDisplaySize(const PictureData& picture, int& width, int& height);
