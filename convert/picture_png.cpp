#include "convert/picture_png.h"

#include <windows.h>
#include <objidl.h>
#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "convert/metafile_play.h"
#include "irun/picture_rules.h"
#include "win/guards.h"

namespace {

constexpr long long kHimetricPerInch = 2540;
constexpr long long kScreenDpi = 96;
constexpr int kRowsPerWrite = 64;         // rows handed to the encoder at a time

uint32_t Read32(const ByteString& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}
uint16_t Read16(const ByteString& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

WideString HexResult(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
  return WideFromAscii(text);
}

// a / b rounded to the nearest whole number, for non-negative a and positive b.
long long RoundedDivide(long long a, long long b) { return (a + b / 2) / b; }

// ---- bitmaps: GDI trusts the sizes inside a picture, so they are checked first ----

// A bitmap as StretchDIBits takes it: a plain header, room for every colour (or the
// three masks of BI_BITFIELDS), and bits that are known to be long enough.
struct SourceBitmap {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  const void* bits = nullptr;
  std::vector<BYTE> ownBits;  // bits laid out anew (device-dependent bitmaps)

  const BITMAPINFO* bitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(&info); }
  int width() const { return info.header.biWidth; }
  int height() const { return std::abs(info.header.biHeight); }
};

bool IsDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

uint64_t DibRowBytes(long long width, int bitsPerPixel) {
  return static_cast<uint64_t>((width * bitsPerPixel + 31) / 32 * 4);
}

bool Refuse(WideString& failure, const char* reason) {
  failure = WideFromAscii(reason);
  return false;
}

// Run-length data (BI_RLE8, BI_RLE4) expanded into uncompressed rows, bottom row first,
// so that GDI never expands it itself: pixels the data skips stay colour 0, runs past the
// edge are cut. False when an absolute run is cut off.
bool ExpandRunLength(const unsigned char* data, size_t length, SourceBitmap& source) {
  const int depth = source.info.header.biBitCount;
  const long long width = source.width(), height = source.height();
  const size_t stride = static_cast<size_t>(DibRowBytes(width, depth));
  source.ownBits.assign(stride * static_cast<size_t>(height), 0);
  long long x = 0, y = 0;
  auto put = [&](unsigned index) {
    if (x < width && y < height) {
      BYTE* row = source.ownBits.data() + static_cast<size_t>(y) * stride;
      if (depth == 8)
        row[x] = static_cast<BYTE>(index);
      else
        row[x / 2] |= static_cast<BYTE>(x % 2 ? index & 0x0F : (index & 0x0F) << 4);
    }
    ++x;
  };
  size_t at = 0;
  while (at + 2 <= length && y < height) {
    const unsigned count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {  // a run of one index (RLE4: two alternating)
      for (unsigned i = 0; i < count && x < width; ++i)
        put(depth == 8 ? value : (i % 2 ? value : value >> 4));
    } else if (value == 0) {  // end of the line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of the bitmap
      break;
    } else if (value == 2) {  // a jump right and up
      if (at + 2 > length) return false;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {  // so many indices as they are, padded to a whole word
      const size_t bytes = depth == 8 ? value : (value + 1) / 2;
      if (length - at < bytes) return false;
      for (unsigned i = 0; i < value; ++i)
        put(depth == 8 ? data[at + i] : (i % 2 ? data[at + i / 2] : data[at + i / 2] >> 4));
      at += (bytes + 1) & ~static_cast<size_t>(1);
    }
  }
  source.info.header.biCompression = BI_RGB;
  source.info.header.biSizeImage = 0;
  source.bits = source.ownBits.data();
  return true;
}

// A packed DIB (\dibitmap): a header of a size irun::IsDibHeaderSize takes, masks or
// colours, then the bits. Every field is checked against the bytes there before GDI
// sees any of it.
// A packed DIB's header as read, before any of it is trusted.
struct DibFields {
  size_t headerSize = 0;
  bool core = false;  // BITMAPCOREHEADER: 16-bit sizes, 3-byte colours
  bool os2 = false;   // OS/2 2.x: the first 40 bytes as BITMAPINFOHEADER
  long long width = 0;
  long long height = 0;  // negative: top-down
  int planes = 0;
  int depth = 0;
  DWORD compression = BI_RGB;
  uint64_t imageSize = 0;
  uint64_t colorsUsed = 0;
  bool RunLength() const { return compression == BI_RLE8 || compression == BI_RLE4; }
  bool Masks() const { return compression == BI_BITFIELDS && !os2 && (depth == 16 || depth == 32); }
};

bool ReadDibFields(const ByteString& bytes, DibFields& dib, WideString& failure) {
  if (bytes.size() < 4) return Refuse(failure, "the bitmap is shorter than its header");
  dib.headerSize = Read32(bytes, 0);
  if (!irun::IsDibHeaderSize(static_cast<uint32_t>(dib.headerSize)))
    return Refuse(failure, "the bitmap has a header of an unknown kind");
  if (bytes.size() < dib.headerSize) return Refuse(failure, "the bitmap is shorter than its header");
  dib.core = dib.headerSize == sizeof(BITMAPCOREHEADER);
  dib.os2 = dib.headerSize == 64;
  if (dib.core) {
    dib.width = Read16(bytes, 4);
    dib.height = Read16(bytes, 6);
    dib.planes = Read16(bytes, 8);
    dib.depth = Read16(bytes, 10);
  } else {
    dib.width = static_cast<int32_t>(Read32(bytes, 4));
    dib.height = static_cast<int32_t>(Read32(bytes, 8));
    dib.planes = Read16(bytes, 12);
    dib.depth = Read16(bytes, 14);
    dib.compression = Read32(bytes, 16);
    dib.imageSize = Read32(bytes, 20);
    dib.colorsUsed = Read32(bytes, 32);
  }
  return true;
}

// Every field checked against what is drawn here and what the bytes can hold.
bool CheckDibFields(const DibFields& dib, WideString& failure) {
  const int depth = dib.depth;
  if (dib.planes != 1 || !IsDepth(depth) || (dib.core && (depth == 16 || depth == 32)))
    return Refuse(failure, "the bitmap has an unknown colour depth");
  if (dib.width <= 0 || dib.height == 0 || dib.width > kMaxPictureSide * 8LL ||
      std::llabs(dib.height) > kMaxPictureSide * 8LL)
    return Refuse(failure, "the bitmap has no size or an impossible one");
  const DWORD compression = dib.compression;
  if (!(compression == BI_RGB || dib.Masks() || (compression == BI_RLE8 && depth == 8) ||
        (compression == BI_RLE4 && depth == 4)))
    return Refuse(failure, "the bitmap is compressed in a way not drawn here");
  if (dib.RunLength() && dib.height < 0)
    return Refuse(failure, "a run-length bitmap cannot be top-down");
  // Expanded run-length data takes room of its own, however few bytes describe it.
  if (dib.RunLength() && dib.width * std::llabs(dib.height) > kMaxPicturePixels)
    return Refuse(failure, "the run-length bitmap is too large to expand");
  return true;
}

// The colour masks and table after the header; at moves past them.
bool ReadDibColors(const ByteString& bytes, const DibFields& dib, size_t& at,
                   SourceBitmap& source, WideString& failure) {
  if (dib.Masks()) {
    // Masks follow a BITMAPINFOHEADER; later headers hold them at the same place.
    if (dib.headerSize == 40) {
      if (bytes.size() - at < 12) return Refuse(failure, "the bitmap's colour masks are cut off");
      at += 12;
    }
    for (int i = 0; i < 3; ++i) {
      DWORD mask = Read32(bytes, 40 + 4 * i);
      std::memcpy(&source.info.colors[i], &mask, sizeof(mask));
    }
  }
  const int depth = dib.depth;
  const uint64_t tableColors = dib.colorsUsed ? dib.colorsUsed : (depth <= 8 ? 1u << depth : 0);
  if (depth <= 8 && tableColors > (1u << depth))
    return Refuse(failure, "the bitmap has more colours than its depth holds");
  const size_t entrySize = dib.core ? 3 : 4;
  if (tableColors > (bytes.size() - at) / entrySize)
    return Refuse(failure, "the bitmap's colours are cut off");
  if (depth <= 8) {
    // Colours the table leaves out stay black; the full table keeps GDI inside it.
    for (size_t i = 0; i < tableColors; ++i) {
      RGBQUAD& color = source.info.colors[i];
      color.rgbBlue = static_cast<BYTE>(bytes[at + i * entrySize]);
      color.rgbGreen = static_cast<BYTE>(bytes[at + i * entrySize + 1]);
      color.rgbRed = static_cast<BYTE>(bytes[at + i * entrySize + 2]);
    }
  }
  at += static_cast<size_t>(tableColors * entrySize);  // a table above 8 bits is a hint
  return true;
}

bool ReadDib(const ByteString& bytes, SourceBitmap& source, WideString& failure) {
  DibFields dib;
  if (!ReadDibFields(bytes, dib, failure) || !CheckDibFields(dib, failure)) return false;
  BITMAPINFOHEADER& header = source.info.header;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = static_cast<LONG>(dib.width);
  header.biHeight = static_cast<LONG>(dib.height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(dib.depth);
  header.biCompression = dib.compression;

  size_t at = dib.headerSize;
  if (!ReadDibColors(bytes, dib, at, source, failure)) return false;
  const uint64_t available = bytes.size() - at;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  if (dib.RunLength()) {
    const uint64_t length = dib.imageSize ? dib.imageSize : available;
    if (length == 0 || length > available)
      return Refuse(failure, "the bitmap's bits are cut off");
    if (!ExpandRunLength(data, static_cast<size_t>(length), source))
      return Refuse(failure, "the bitmap's run-length data is cut off");
    return true;
  }
  if (DibRowBytes(dib.width, dib.depth) * static_cast<uint64_t>(std::llabs(dib.height)) > available)
    return Refuse(failure, "the bitmap's bits are cut off");
  header.biSizeImage = 0;
  source.bits = data;
  return true;
}

// The 16 colours of a VGA display, in the order a 4-bit device-dependent bitmap uses.
constexpr BYTE kVgaColors[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// A device-dependent bitmap (\wbitmap): only bits, top row first, of the depth and row
// length the RTF states (\wbmbitspixel, default 1; \wbmplanes, default 1, the only
// number of planes drawn; \wbmwidthbytes, default the width padded to 16 bits).
bool ReadDeviceBitmap(const PictureData& picture, SourceBitmap& source, WideString& failure) {
  const long long width = picture.pixelWidth, height = picture.pixelHeight;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide * 8LL ||
      height > kMaxPictureSide * 8LL)
    return Refuse(failure, "the bitmap has no size or an impossible one");
  const int depth = picture.bitsPerPixel > 0 ? picture.bitsPerPixel : 1;
  const int planes = picture.planes > 0 ? picture.planes : 1;
  if (planes != 1 || !IsDepth(depth))
    return Refuse(failure, "the bitmap has a colour depth not drawn here");
  const uint64_t rowBytes = picture.widthBytes > 0
                                ? static_cast<uint64_t>(picture.widthBytes)
                                : static_cast<uint64_t>((width * depth + 15) / 16 * 2);
  if (rowBytes * 8 < static_cast<uint64_t>(width * depth))
    return Refuse(failure, "the bitmap's rows are shorter than its width");
  if (rowBytes * static_cast<uint64_t>(height) > picture.bytes.size())
    return Refuse(failure, "the bitmap's bits are cut off");

  BITMAPINFOHEADER& header = source.info.header;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(-height);  // top row first
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(depth);
  header.biCompression = BI_RGB;
  RGBQUAD* colors = source.info.colors;
  if (depth == 16) {
    header.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(colors, masks, sizeof(masks));
  } else if (depth == 1) {
    colors[1] = RGBQUAD{255, 255, 255, 0};
  } else if (depth == 4) {
    for (int i = 0; i < 16; ++i)
      colors[i] = RGBQUAD{kVgaColors[i][2], kVgaColors[i][1], kVgaColors[i][0], 0};
  } else if (depth == 8) {
    UniqueWindowDc screen(nullptr);
    UniquePalette halftone(CreateHalftonePalette(screen.get()));
    PALETTEENTRY entries[256] = {};
    if (!halftone || GetPaletteEntries(halftone.get(), 0, 256, entries) == 0)
      return Refuse(failure, "the system gives no palette for an 8-bit bitmap");
    for (int i = 0; i < 256; ++i)
      colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  }
  // DIB rows are padded to 32 bits; the RTF's rows may be longer or shorter than that.
  const size_t dibRow = static_cast<size_t>(DibRowBytes(width, depth));
  const size_t copied = std::min(dibRow, static_cast<size_t>(rowBytes));
  source.ownBits.assign(dibRow * static_cast<size_t>(height), 0);
  for (size_t row = 0; row < static_cast<size_t>(height); ++row)
    std::memcpy(source.ownBits.data() + row * dibRow,
                picture.bytes.data() + row * static_cast<size_t>(rowBytes), copied);
  source.bits = source.ownBits.data();
  return true;
}

// ---- drawing ----

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

// ---- encoding ----

bool Succeeded(HRESULT result, const char* step, WideString& failure) {
  if (SUCCEEDED(result)) return true;
  failure = u"the PNG encoder cannot " + WideFromAscii(step) + u" (" + HexResult(result) + u")";
  return false;
}

// Encodes top-down 32-bit BGRX pixels as a 24-bit PNG.
bool EncodePng(const BYTE* pixels, int width, int height, ByteString& png, WideString& failure) {
  UniqueComApartment com;
  if (!com) {
    failure = u"COM cannot start on this thread";
    return false;
  }
  UniqueCom<IWICImagingFactory> factory;
  UniqueCom<IStream> stream;
  UniqueCom<IWICBitmapEncoder> encoder;
  UniqueCom<IWICBitmapFrameEncode> frame;
  UniqueCom<IPropertyBag2> options;
  if (!Succeeded(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())),
                 "start", failure) ||
      !Succeeded(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), "get memory", failure) ||
      !Succeeded(factory.get()->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()),
                 "start", failure) ||
      !Succeeded(encoder.get()->Initialize(stream.get(), WICBitmapEncoderNoCache), "start",
                 failure) ||
      !Succeeded(encoder.get()->CreateNewFrame(frame.put(), options.put()), "add a frame",
                 failure) ||
      !Succeeded(frame.get()->Initialize(options.get()), "add a frame", failure) ||
      !Succeeded(frame.get()->SetSize(width, height), "take the size", failure))
    return false;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (!Succeeded(frame.get()->SetPixelFormat(&format), "take 24-bit pixels", failure)) return false;
  if (format != GUID_WICPixelFormat24bppBGR) {
    failure = u"the PNG encoder does not take 24-bit pixels";
    return false;
  }
  const size_t sourceRow = static_cast<size_t>(width) * 4;
  const UINT row = (static_cast<UINT>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> strip(static_cast<size_t>(row) * kRowsPerWrite);
  for (int top = 0; top < height; top += kRowsPerWrite) {
    const int lines = std::min(kRowsPerWrite, height - top);
    for (int y = 0; y < lines; ++y) {
      const BYTE* from = pixels + (top + y) * sourceRow;
      BYTE* to = strip.data() + static_cast<size_t>(y) * row;
      for (int x = 0; x < width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
    }
    if (!Succeeded(frame.get()->WritePixels(lines, row, row * lines, strip.data()),
                   "take the pixels", failure))
      return false;
  }
  if (!Succeeded(frame.get()->Commit(), "finish", failure) ||
      !Succeeded(encoder.get()->Commit(), "finish", failure))
    return false;

  STATSTG status{};
  HGLOBAL memory = nullptr;
  if (!Succeeded(stream.get()->Stat(&status, STATFLAG_NONAME), "hand over the file", failure) ||
      !Succeeded(GetHGlobalFromStream(stream.get(), &memory), "hand over the file", failure))
    return false;
  // The stream's memory may be larger than what was written.
  const size_t length = static_cast<size_t>(status.cbSize.QuadPart);
  UniqueGlobalLock locked(memory);
  if (!locked || GlobalSize(memory) < length) {
    failure = u"the PNG encoder's memory cannot be read";
    return false;
  }
  png.assign(static_cast<const char*>(locked.data()), length);
  return true;
}

// ---- sizes ----


// The size a picture's own header gives, for sides the RTF leaves without one.
void SizeFromHeader(const PictureData& picture, long long& width, long long& height) {
  const ByteString& bytes = picture.bytes;
  if (picture.format == PictureFormat::kDib && bytes.size() >= 12) {
    if (Read32(bytes, 0) == sizeof(BITMAPCOREHEADER)) {
      width = Read16(bytes, 4);
      height = Read16(bytes, 6);
    } else if (bytes.size() >= 16) {
      width = std::llabs(static_cast<int32_t>(Read32(bytes, 4)));
      height = std::llabs(static_cast<int32_t>(Read32(bytes, 8)));
    }
  } else if (picture.format == PictureFormat::kEmf && bytes.size() >= 40 &&
             Read32(bytes, 0) == EMR_HEADER) {
    // rclFrame, in 0.01 mm.
    const long long left = static_cast<int32_t>(Read32(bytes, 24));
    const long long top = static_cast<int32_t>(Read32(bytes, 28));
    const long long right = static_cast<int32_t>(Read32(bytes, 32));
    const long long bottom = static_cast<int32_t>(Read32(bytes, 36));
    width = right > left ? RoundedDivide((right - left) * kScreenDpi, kHimetricPerInch) : 0;
    height = bottom > top ? RoundedDivide((bottom - top) * kScreenDpi, kHimetricPerInch) : 0;
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

void PictureDisplaySize(const PictureData& picture, int& width, int& height) {
  const irun::PictureUnits units =
      IsMetafile(picture.format) ? irun::PictureUnits::kHimetric : irun::PictureUnits::kPixels;
  width = irun::PictureDisplaySide(picture.goalWidth, picture.pixelWidth, units, picture.scaleX,
                                   static_cast<int>(kScreenDpi));
  height = irun::PictureDisplaySide(picture.goalHeight, picture.pixelHeight, units,
                                    picture.scaleY, static_cast<int>(kScreenDpi));
  if (width > 0 && height > 0) return;
  // Sides the RTF leaves without a size take the picture's own, scaled the same way.
  long long headerWidth = 0, headerHeight = 0;
  SizeFromHeader(picture, headerWidth, headerHeight);
  auto fromHeader = [](long long side, int percent) {
    return side > 0 && side <= INT_MAX ? irun::PictureDisplaySide(0, static_cast<int>(side),
                                                                  irun::PictureUnits::kPixels,
                                                                  percent, 96)
                                       : 0;
  };
  if (width == 0) width = fromHeader(headerWidth, picture.scaleX);
  if (height == 0) height = fromHeader(headerHeight, picture.scaleY);
}
