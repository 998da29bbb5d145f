#include "picture/dib_read.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "irun/picture_rules.h"
#include "picture/byte_fields.h"
#include "picture/picture_limits.h"
#include "win/guards.h"

namespace {

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

// The 16 colours of a VGA display, in the order a 4-bit device-dependent bitmap uses.
constexpr BYTE kVgaColors[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

}  // namespace

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
