// Pictures of a page as the converter hands them over beside the HTML: the one picture
// type of everything above the converter.
#pragma once

#include <string>

#include "text/wide_string.h"

// What a picture's bytes are.
enum class PictureFormat {
  kOther,   // none of those below: bytes as they are
  kPng,     // a PNG file
  kJpeg,    // a JPEG file
  kEmf,     // an enhanced metafile
  kWmf,     // a Windows metafile without a placeable header
  kDib,     // BITMAPINFO and bits, without a file header
  kBitmap,  // the bits of a device-dependent bitmap
};

// Metafiles and bitmaps are drawn (as PNG) before a note can carry them; files go as
// they are.
inline bool NeedsDrawing(PictureFormat format) {
  return format == PictureFormat::kEmf || format == PictureFormat::kWmf ||
         format == PictureFormat::kDib || format == PictureFormat::kBitmap;
}

inline bool IsMetafile(PictureFormat format) {
  return format == PictureFormat::kEmf || format == PictureFormat::kWmf;
}

struct PictureData {
  ByteString name;  // "_img_1.png", as the HTML refers to it
  PictureFormat format = PictureFormat::kOther;
  ByteString bytes;
  int pixelWidth = 0, pixelHeight = 0;  // \picw \pich (metafiles: in the RTF's units)
  int goalWidth = 0, goalHeight = 0;    // twips, 0 when absent
  int scaleX = 100, scaleY = 100;       // percent
  int mappingMode = 0;                  // \wmetafileN
  int bitsPerPixel = 0, planes = 0;     // \wbmbitspixel \wbmplanes: 0 when absent
  int widthBytes = 0;                   // \wbmwidthbytes: 0 when absent
};

// The type of an image file from its first bytes, "image/png", "image/jpeg" or
// "image/gif"; empty for anything else.
std::string ImageMime(const ByteString& bytes);

// The image's own size in pixels where its header tells it (PNG and GIF); width and
// height are left as they are otherwise.
void ImagePixelSize(const ByteString& bytes, const std::string& mime, int& width, int& height);
