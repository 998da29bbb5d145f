#include "picture/picture_png.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "picture/dib_read.h"
#include "picture/metafile_play.h"
#include "picture/picture_limits.h"
#include "picture/png_encode.h"
#include "win/guards.h"

namespace {

bool DrawBitmap(HDC dc, const SourceBitmap& source, int width, int height, WideString& failure) {
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);  // as HALFTONE needs after a change of mode
  int lines = StretchDIBits(dc, 0, 0, width, height, 0, 0, source.width(), source.height(),
                            source.bits, source.bitmapInfo(), DIB_RGB_COLORS, SRCCOPY);
  if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) {
    failure = u"the bitmap cannot be drawn";
    return false;
  }
  return true;
}

bool DrawPicture(HDC dc, const PictureData& picture, int width, int height, WideString& failure) {
  const ByteString& bytes = picture.bytes;
  switch (picture.format) {
    case PictureFormat::kEmf: return PlayEnhancedMetafile(dc, bytes, width, height, failure);
    case PictureFormat::kWmf:
      return PlayWindowsMetafile(dc, bytes, picture.mappingMode, width, height, failure);
    case PictureFormat::kDib: {
      SourceBitmap source;
      return ReadDib(bytes, source, failure) && DrawBitmap(dc, source, width, height, failure);
    }
    case PictureFormat::kBitmap: {
      SourceBitmap source;
      return ReadDeviceBitmap(picture, source, failure) &&
             DrawBitmap(dc, source, width, height, failure);
    }
    default: failure = u"pictures of this kind are not drawn"; return false;
  }
}

}  // namespace

bool RenderPictureAsPng(const PictureData& picture, int width, int height, ByteString& png,
                        WideString& failure) {
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      static_cast<long long>(width) * height > kMaxPicturePixels) {
    failure = u"a size of " + WideNumber(width) + u" x " + WideNumber(height) +
              u" pixels cannot be drawn";
    return false;
  }
  UniqueDc dc(CreateCompatibleDC(nullptr));
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(dc ? CreateDIBSection(dc.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0)
                         : nullptr);
  if (!bitmap || !bits) {
    failure =
        u"no bitmap of " + WideNumber(width) + u" x " + WideNumber(height) + u" pixels can be made";
    return false;
  }
  ByteString encoded;
  {
    UniqueSelection selected(dc.get(), bitmap.get());
    std::memset(bits, 0xFF, static_cast<size_t>(width) * height * 4);  // white
    if (!DrawPicture(dc.get(), picture, width, height, failure)) return false;
    GdiFlush();
    if (!EncodePng(static_cast<const BYTE*>(bits), width, height, encoded, failure)) return false;
  }
  png = std::move(encoded);
  return true;
}
