// Bitmaps read for drawing: a packed DIB (\dibitmap) or a device-dependent bitmap's bits
// (\wbitmap). GDI trusts the sizes inside a bitmap, so every field is checked against
// the bytes there before any of it reaches GDI. Windows only.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "picture/pictures.h"
#include "text/wide_string.h"

// A bitmap as StretchDIBits takes it: a plain header, room for every colour (or the
// three masks of BI_BITFIELDS), and bits that are known to be long enough.
struct SourceBitmap {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  const void* bits = nullptr;  // into the picture's bytes or ownBits
  std::vector<BYTE> ownBits;   // bits laid out anew (device-dependent, run-length)

  const BITMAPINFO* bitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(&info); }
  int width() const { return info.header.biWidth; }
  int height() const { return std::abs(info.header.biHeight); }
};

// A packed DIB: a header of a size irun::IsDibHeaderSize takes, masks or colours, then
// the bits; run-length data is expanded here, not by GDI. source points into bytes,
// which must outlive it. False with failure (a plain reason) when it does not hold
// together or is not drawn here.
bool ReadDib(const ByteString& bytes, SourceBitmap& source, WideString& failure);

// A device-dependent bitmap: only bits, top row first, of the depth and row length the
// RTF states (\wbmbitspixel, \wbmwidthbytes; one plane); 8 bits read through the
// system's halftone palette, 4 through the 16 VGA colours, 1 as black and white. False
// with failure as above.
bool ReadDeviceBitmap(const PictureData& picture, SourceBitmap& source, WideString& failure);
