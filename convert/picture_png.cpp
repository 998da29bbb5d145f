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

#include "irun/irun.h"
#include "win/guards.h"

namespace {

constexpr long long kTwipsPerPixel = 15;  // 1440 twips an inch at 96 dots an inch
constexpr long long kHimetricPerInch = 2540;
constexpr long long kScreenDpi = 96;
constexpr size_t kEnhHeaderMinimum = 88;  // ENHMETAHEADER up to szlMillimeters
constexpr size_t kWinHeaderSize = 18;     // METAHEADER
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

// ---- data checks: GDI trusts the sizes inside a picture, so they are checked first ----

// The length of a whole enhanced metafile: a header record with the signature, records
// of four-byte multiples inside the size the header gives, and an end record last.
// Zero when the data does not hold together.
size_t EnhancedMetafileLength(const ByteString& bytes) {
  if (bytes.size() < kEnhHeaderMinimum || Read32(bytes, 0) != EMR_HEADER ||
      Read32(bytes, 40) != ENHMETA_SIGNATURE)
    return 0;
  size_t length = Read32(bytes, 48);
  if (length > bytes.size() || Read32(bytes, 4) < kEnhHeaderMinimum) return 0;
  size_t at = 0;
  while (at + 8 <= length) {
    uint32_t type = Read32(bytes, at);
    uint32_t size = Read32(bytes, at + 4);
    if (size < 8 || size % 4 != 0 || size > length - at) return 0;
    at += size;
    if (type == EMR_EOF) return at == length ? length : 0;
  }
  return 0;
}

// The length of a Windows metafile without placeable header: a header of nine words,
// then records whose sizes (in words) stay inside the data, up to the end record.
size_t WindowsMetafileLength(const ByteString& bytes) {
  if (bytes.size() < kWinHeaderSize) return 0;
  uint16_t type = Read16(bytes, 0);
  if ((type != 1 && type != 2) || Read16(bytes, 2) != kWinHeaderSize / 2) return 0;
  size_t at = kWinHeaderSize;
  while (at + 6 <= bytes.size()) {
    uint64_t size = static_cast<uint64_t>(Read32(bytes, at)) * 2;
    uint16_t function = Read16(bytes, at + 4);
    if (size < 6 || size > bytes.size() - at) return 0;
    at += static_cast<size_t>(size);
    if (function == 0) return at;  // META_EOF
  }
  return 0;
}

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

// A packed DIB (\dibitmap): a BITMAPCOREHEADER, BITMAPINFOHEADER or one of its later
// versions, masks or colours, then the bits.
bool ReadDib(const ByteString& bytes, SourceBitmap& source, WideString& failure) {
  auto refuse = [&failure](const char* reason) {
    failure = WideFromAscii(reason);
    return false;
  };
  if (bytes.size() < 4) return refuse("the bitmap is shorter than its header");
  const size_t headerSize = Read32(bytes, 0);
  const bool core = headerSize == sizeof(BITMAPCOREHEADER);
  if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124)
    return refuse("the bitmap has a header of an unknown kind");
  if (bytes.size() < headerSize) return refuse("the bitmap is shorter than its header");

  BITMAPINFOHEADER& header = source.info.header;
  header.biSize = sizeof(BITMAPINFOHEADER);
  long long width, height;
  int planes;
  if (core) {
    width = Read16(bytes, 4);
    height = Read16(bytes, 6);
    planes = Read16(bytes, 8);
    header.biBitCount = Read16(bytes, 10);
    header.biCompression = BI_RGB;
  } else {
    width = static_cast<int32_t>(Read32(bytes, 4));
    height = static_cast<int32_t>(Read32(bytes, 8));
    planes = Read16(bytes, 12);
    header.biBitCount = Read16(bytes, 14);
    header.biCompression = Read32(bytes, 16);
    header.biSizeImage = Read32(bytes, 20);
  }
  const int depth = header.biBitCount;
  const DWORD compression = header.biCompression;
  if (planes != 1 || !IsDepth(depth)) return refuse("the bitmap has an unknown colour depth");
  if (width <= 0 || height == 0 || width > INT_MAX / 32 || height < -(INT_MAX / 32) ||
      height > INT_MAX / 32)
    return refuse("the bitmap has no size or an impossible one");
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  if (!(compression == BI_RGB || (compression == BI_BITFIELDS && (depth == 16 || depth == 32)) ||
        (compression == BI_RLE8 && depth == 8) || (compression == BI_RLE4 && depth == 4)))
    return refuse("the bitmap is compressed in a way not drawn here");
  if (rle && height < 0) return refuse("a run-length bitmap cannot be top-down");
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(height);
  header.biPlanes = 1;

  size_t at = headerSize;
  if (compression == BI_BITFIELDS) {
    // Masks follow a BITMAPINFOHEADER; later headers hold them at the same place.
    if (headerSize == 40) {
      if (bytes.size() - at < 12) return refuse("the bitmap's colour masks are cut off");
      at += 12;
    }
    for (int i = 0; i < 3; ++i) {
      DWORD mask = Read32(bytes, 40 + 4 * i);
      std::memcpy(&source.info.colors[i], &mask, sizeof(mask));
    }
  }
  const uint64_t colorsUsed = core ? 0 : Read32(bytes, 32);
  const uint64_t tableColors = colorsUsed ? colorsUsed : (depth <= 8 ? 1u << depth : 0);
  if (depth <= 8 && tableColors > (1u << depth))
    return refuse("the bitmap has more colours than its depth holds");
  const size_t entrySize = core ? 3 : 4;
  if (tableColors * entrySize > bytes.size() - at)
    return refuse("the bitmap's colours are cut off");
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

  const uint64_t available = bytes.size() - at;
  if (rle) {
    uint64_t length = header.biSizeImage ? header.biSizeImage : available;
    if (length == 0 || length > available) return refuse("the bitmap's bits are cut off");
    header.biSizeImage = static_cast<DWORD>(length);
  } else {
    if (DibRowBytes(width, depth) * static_cast<uint64_t>(std::llabs(height)) > available)
      return refuse("the bitmap's bits are cut off");
    header.biSizeImage = 0;
  }
  source.bits = bytes.data() + at;
  return true;
}

// The 16 colours of a VGA display, in the order a 4-bit device-dependent bitmap uses.
constexpr BYTE kVgaColors[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// A device-dependent bitmap (\wbitmap): only bits, rows padded to 16 bits, top row first.
bool ReadDeviceBitmap(const PictureData& picture, SourceBitmap& source, WideString& failure) {
  auto refuse = [&failure](const char* reason) {
    failure = WideFromAscii(reason);
    return false;
  };
  const long long width = picture.pixelWidth, height = picture.pixelHeight;
  if (width <= 0 || height <= 0 || width > INT_MAX / 32 || height > INT_MAX / 32)
    return refuse("the bitmap has no size or an impossible one");
  const uint64_t size = picture.bytes.size();
  if (size == 0 || size % static_cast<uint64_t>(height) != 0)
    return refuse("the bitmap's bytes do not make whole rows");
  const uint64_t rowBytes = size / static_cast<uint64_t>(height);
  int depth = 0;
  for (int candidate : {32, 24, 16, 8, 4, 1}) {
    if (static_cast<uint64_t>((width * candidate + 15) / 16 * 2) == rowBytes) {
      depth = candidate;
      break;
    }
  }
  if (depth == 0) return refuse("the bitmap's rows fit no colour depth");

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
    ScopedGetDC screen(nullptr);
    UniquePalette halftone(CreateHalftonePalette(screen.get()));
    PALETTEENTRY entries[256] = {};
    if (!halftone || GetPaletteEntries(halftone.get(), 0, 256, entries) == 0)
      return refuse("the system gives no palette for an 8-bit bitmap");
    for (int i = 0; i < 256; ++i)
      colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  }
  // DIB rows are padded to 32 bits.
  const size_t dibRow = static_cast<size_t>(DibRowBytes(width, depth));
  source.ownBits.assign(dibRow * static_cast<size_t>(height), 0);
  for (size_t row = 0; row < static_cast<size_t>(height); ++row)
    std::memcpy(source.ownBits.data() + row * dibRow, picture.bytes.data() + row * rowBytes,
                static_cast<size_t>(rowBytes));
  source.bits = source.ownBits.data();
  return true;
}

// ---- drawing ----

bool PlayMetafile(HDC dc, HENHMETAFILE metafile, int width, int height, WideString& failure) {
  if (!metafile) {
    failure = u"Windows does not take the data as a metafile";
    return false;
  }
  RECT area{0, 0, width, height};
  if (!PlayEnhMetaFile(dc, metafile, &area)) {
    failure = u"the metafile cannot be played";
    return false;
  }
  return true;
}

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

// The metafile's extents in 0.01 mm: from the goal size, else the size the RTF gives.
LONG MetafileExtent(int goalTwips, int rtfSize) {
  if (goalTwips > 0) return static_cast<LONG>(RoundedDivide(goalTwips * kHimetricPerInch, 1440));
  return rtfSize > 0 ? rtfSize : 0;
}

bool DrawPicture(HDC dc, const PictureData& picture, int width, int height, WideString& failure) {
  const ByteString& bytes = picture.bytes;
  switch (picture.format) {
    case IRUN_PICTURE_EMF: {
      size_t length = EnhancedMetafileLength(bytes);
      if (length == 0) {
        failure = u"the enhanced metafile is broken";
        return false;
      }
      UniqueEnhMetafile metafile(SetEnhMetaFileBits(static_cast<UINT>(length),
                                                    reinterpret_cast<const BYTE*>(bytes.data())));
      return PlayMetafile(dc, metafile.get(), width, height, failure);
    }
    case IRUN_PICTURE_WMF: {
      size_t length = WindowsMetafileLength(bytes);
      if (length == 0) {
        failure = u"the Windows metafile is broken";
        return false;
      }
      // \wmetafile without a number means MM_TEXT; anything out of range is taken as the
      // scalable mode that rich edit writes.
      LONG mode = picture.mappingMode >= MM_TEXT && picture.mappingMode <= MM_ANISOTROPIC
                      ? picture.mappingMode
                      : MM_ANISOTROPIC;
      METAFILEPICT format{mode, MetafileExtent(picture.goalWidth, picture.pixelWidth),
                          MetafileExtent(picture.goalHeight, picture.pixelHeight), nullptr};
      UniqueEnhMetafile metafile(SetWinMetaFileBits(static_cast<UINT>(length),
                                                    reinterpret_cast<const BYTE*>(bytes.data()),
                                                    nullptr, &format));
      return PlayMetafile(dc, metafile.get(), width, height, failure);
    }
    case IRUN_PICTURE_DIB: {
      SourceBitmap source;
      return ReadDib(bytes, source, failure) && DrawBitmap(dc, source, width, height, failure);
    }
    case IRUN_PICTURE_BITMAP: {
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
  ComApartment com;
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
  GlobalLockGuard locked(memory);
  if (!locked || GlobalSize(memory) < length) {
    failure = u"the PNG encoder's memory cannot be read";
    return false;
  }
  png.assign(static_cast<const char*>(locked.data()), length);
  return true;
}

// ---- sizes ----

bool IsMetafile(int format) { return format == IRUN_PICTURE_EMF || format == IRUN_PICTURE_WMF; }

// One side from the RTF: the goal in twips, else the size the RTF gives (0.01 mm for
// metafiles, pixels otherwise); 0 when neither is there.
long long SideFromRtf(int goalTwips, int rtfSize, bool metafile) {
  if (goalTwips > 0) return std::max(1LL, RoundedDivide(goalTwips, kTwipsPerPixel));
  if (rtfSize <= 0) return 0;
  return metafile ? std::max(1LL, RoundedDivide(rtfSize * kScreenDpi, kHimetricPerInch)) : rtfSize;
}

// The size a picture's own header gives, for sides the RTF leaves without one.
void SizeFromHeader(const PictureData& picture, long long& width, long long& height) {
  const ByteString& bytes = picture.bytes;
  if (picture.format == IRUN_PICTURE_DIB && bytes.size() >= 12) {
    if (Read32(bytes, 0) == sizeof(BITMAPCOREHEADER)) {
      width = Read16(bytes, 4);
      height = Read16(bytes, 6);
    } else if (bytes.size() >= 16) {
      width = std::llabs(static_cast<int32_t>(Read32(bytes, 4)));
      height = std::llabs(static_cast<int32_t>(Read32(bytes, 8)));
    }
  } else if (picture.format == IRUN_PICTURE_EMF && bytes.size() >= 40 &&
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

int Scaled(long long side, int percent) {
  if (side <= 0) return 0;
  if (percent > 0) side = RoundedDivide(side * percent, 100);
  return static_cast<int>(std::clamp(side, 1LL, static_cast<long long>(INT_MAX)));
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
    ScopedSelectObject selected(dc.get(), bitmap.get());
    std::memset(bits, 0xFF, static_cast<size_t>(width) * height * 4);  // white
    if (!DrawPicture(dc.get(), picture, width, height, failure)) return false;
    GdiFlush();
    if (!EncodePng(static_cast<const BYTE*>(bits), width, height, encoded, failure)) return false;
  }
  png = std::move(encoded);
  return true;
}

void PictureDisplaySize(const PictureData& picture, int& width, int& height) {
  const bool metafile = IsMetafile(picture.format);
  long long w = SideFromRtf(picture.goalWidth, picture.pixelWidth, metafile);
  long long h = SideFromRtf(picture.goalHeight, picture.pixelHeight, metafile);
  long long headerWidth = 0, headerHeight = 0;
  if (w == 0 || h == 0) SizeFromHeader(picture, headerWidth, headerHeight);
  width = Scaled(w ? w : headerWidth, picture.scaleX);
  height = Scaled(h ? h : headerHeight, picture.scaleY);
}
