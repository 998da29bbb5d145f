// Metafiles and bitmaps drawn as PNG: each format drawn and the PNG decoded again with
// WIC to check its size and colours; broken data and hostile sizes refused with a reason.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

#include "irun/irun.h"
#include "picture/picture_png.h"
#include "picture/picture_size.h"
#include "tests/picture/decoded_png.h"
#include "win/guards.h"

namespace {

using Bytes = ByteString;
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF,
                   kBlack = 0x000000, kYellow = 0xFFFF00, kCyan = 0x00FFFF, kMagenta = 0xFF00FF;
// The 4 x 2 picture every bitmap case holds, top row first.
const uint32_t kPicture[2][4] = {{kRed, kGreen, kBlue, kWhite}, {kBlack, kYellow, kCyan, kMagenta}};

void Put(Bytes& b, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(value >> (8 * i)));
}

std::string Ascii(const WideString& text) { return std::string(text.begin(), text.end()); }

PictureData Picture(PictureFormat format, const Bytes& bytes, int pixelWidth = 0, int pixelHeight = 0) {
  PictureData picture;
  picture.format = format;
  picture.bytes = bytes;
  picture.pixelWidth = pixelWidth;
  picture.pixelHeight = pixelHeight;
  return picture;
}

// A device-dependent bitmap as \wbitmap states it: bits a pixel and bytes a row.
PictureData Bitmap(const Bytes& bytes, int width, int height, int bitsPerPixel, int widthBytes) {
  PictureData picture = Picture(PictureFormat::kBitmap, bytes, width, height);
  picture.bitsPerPixel = bitsPerPixel;
  picture.widthBytes = widthBytes;
  return picture;
}

// kPicture as a packed DIB: header of headerSize (12, 40 or more), bits of the given depth,
// bottom-up or top-down, each pixel repeated n times across and down. Depths up to 8
// get a table of the eight colours.
Bytes Dib(int headerSize, int depth, bool topDown, uint32_t compression = BI_RGB, int n = 1) {
  const uint32_t palette[8] = {kRed, kGreen, kBlue, kWhite, kBlack, kYellow, kCyan, kMagenta};
  Bytes b;
  Put(b, headerSize, 4);
  if (headerSize == 12) {
    Put(b, 4 * n, 2), Put(b, 2 * n, 2), Put(b, 1, 2), Put(b, depth, 2);
  } else {
    Put(b, 4 * n, 4), Put(b, topDown ? -2 * n : 2 * n, 4), Put(b, 1, 2), Put(b, depth, 2);
    Put(b, compression, 4), b.append(12, '\0'), Put(b, depth <= 8 ? 8 : 0, 4), Put(b, 0, 4);
    b.append(headerSize - 40, '\0');
  }
  if (compression == BI_BITFIELDS) Put(b, 0xF800, 4), Put(b, 0x07E0, 4), Put(b, 0x001F, 4);
  // A core header has no count of colours: its table is full.
  const int colors = depth > 8 ? 0 : headerSize == 12 ? 1 << depth : 8;
  for (int i = 0; i < colors; ++i) Put(b, i < 8 ? palette[i] : 0, headerSize == 12 ? 3 : 4);
  for (int r = 0; r < 2 * n; ++r) {
    const int y = (topDown ? r : 2 * n - 1 - r) / n;
    Bytes bits;
    for (int x = 0; x < 4 * n; ++x) {
      const uint32_t color = kPicture[y][x / n];
      if (depth == 8) bits.push_back(static_cast<char>(y * 4 + x / n));
      if (depth == 16)
        Put(bits, (color >> 8 & 0xF800) | (color >> 5 & 0x07E0) | (color >> 3 & 0x1F), 2);
      if (depth >= 24) Put(bits, color, depth / 8);
    }
    bits.resize((bits.size() + 3) / 4 * 4, '\0');
    // Run-length rows: the indices as one literal run, then the end of the line.
    if (compression == BI_RLE8) bits = Bytes("\0", 1) + char(4 * n) + bits + Bytes("\0\0", 2);
    b += bits;
  }
  if (compression == BI_RLE8) b += Bytes("\0\1", 2);  // end of the bitmap
  return b;
}

// Every bitmap layout holds kPicture, drawn at 4 x 2 or stretched to 40 x 20 (then each
// colour is two pixels wide in the source, so that smoothing leaves block middles alone).
// All run on a thread that already has COM in the multithreaded apartment, as a host's
// thread may.
TEST(PicturePngTest, DrawsBitmapsOfEveryLayout) {
  Bytes rows24, padded24;  // device-dependent: 12 bytes a row, or 12 and two more
  for (const auto& row : kPicture) {
    for (uint32_t color : row) Put(rows24, color, 3), Put(padded24, color, 3);
    padded24 += Bytes("\x55\x55", 2);
  }
  struct Case {
    const char* what;
    PictureData picture;
    UINT scale;
  } cases[] = {
      {"DIB 24 bits, bottom-up", Picture(PictureFormat::kDib, Dib(40, 24, false)), 1},
      {"DIB 32 bits, top-down", Picture(PictureFormat::kDib, Dib(40, 32, true)), 1},
      {"DIB 16 bits, 5-6-5 masks", Picture(PictureFormat::kDib, Dib(40, 16, false, BI_BITFIELDS)), 1},
      {"DIB core header, 8 bits", Picture(PictureFormat::kDib, Dib(12, 8, false)), 1},
      {"DIB run-length, 8 bits", Picture(PictureFormat::kDib, Dib(40, 8, false, BI_RLE8)), 1},
      {"DIB stretched", Picture(PictureFormat::kDib, Dib(40, 24, false, BI_RGB, 2)), 10},
      {"DIB OS/2 header, 24 bits", Picture(PictureFormat::kDib, Dib(64, 24, false)), 1},
      {"DIB version 5 header, 32 bits", Picture(PictureFormat::kDib, Dib(124, 32, true)), 1},
      {"bitmap 24 bits", Bitmap(rows24, 4, 2, 24, 0), 1},
      {"bitmap 24 bits, padded rows", Bitmap(padded24, 4, 2, 24, 14), 1},
      {"bitmap 4 bits, VGA colours", Bitmap(Bytes("\x9A\xCF\x0B\xED", 4), 4, 2, 4, 2), 1},
  };
  std::thread host([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (const Case& c : cases) {
      Bytes png = "old";
      WideString failure;
      ASSERT_TRUE(RenderPictureAsPng(c.picture, 4 * c.scale, 2 * c.scale, png, failure))
          << c.what << ": " << Ascii(failure);
      Decoded image = DecodePng(png);
      ASSERT_EQ(image.width, 4 * c.scale) << c.what;
      ASSERT_EQ(image.height, 2 * c.scale) << c.what;
      for (UINT y = 0; y < 2; ++y)
        for (UINT x = 0; x < 4; ++x)
          EXPECT_EQ(image.At(x * c.scale + c.scale / 2, y * c.scale + c.scale / 2), kPicture[y][x])
              << c.what << " at " << x << "," << y;
    }
    CoUninitialize();
  });
  host.join();
}

// One bit a pixel, 0 black and 1 white, as \wbmbitspixel and \wbmwidthbytes say (a
// depth is not guessed from the row length: two bytes a row for four pixels are 1 bit).
TEST(PicturePngTest, DrawsOneBitBitmapsBlackAndWhite) {
  struct Case {
    const char* what;
    PictureData picture;
    uint32_t expected[4][3];  // x, y, colour
  } cases[] = {
      {"16 pixels, rows of 2 bytes", Bitmap(Bytes("\xA5\x0F\xFF\x00", 4), 16, 2, 0, 0),
       {{0, 0, kWhite}, {1, 0, kBlack}, {12, 0, kWhite}, {15, 1, kBlack}}},
      {"4 pixels, rows of 2 bytes", Bitmap(Bytes("\x50\x00\xA0\x00", 4), 4, 2, 1, 2),
       {{0, 0, kBlack}, {1, 0, kWhite}, {0, 1, kWhite}, {3, 1, kBlack}}},
      {"4 pixels, rows of 4 bytes", Bitmap(Bytes("\x50\xFF\xFF\xFF\xA0\xFF\xFF\xFF", 8), 4, 2, 1, 4),
       {{0, 0, kBlack}, {1, 0, kWhite}, {2, 0, kBlack}, {3, 1, kBlack}}},
  };
  for (const Case& c : cases) {
    Bytes png;
    WideString failure;
    ASSERT_TRUE(RenderPictureAsPng(c.picture, c.picture.pixelWidth, 2, png, failure))
        << c.what << ": " << Ascii(failure);
    Decoded image = DecodePng(png);
    ASSERT_EQ(image.width, static_cast<UINT>(c.picture.pixelWidth)) << c.what;
    for (const auto& e : c.expected)
      EXPECT_EQ(image.At(e[0], e[1]), e[2]) << c.what << " at " << e[0] << "," << e[1];
  }
}

TEST(PicturePngTest, DrawsMetafilesMadeWithGdi) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  // An enhanced metafile of 96 x 48 pixels, red on its left half.
  RECT frame{0, 0, 2540, 1270};
  HDC recorder = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  RECT left{0, 0, 48, 48};
  FillRect(recorder, &left, red);
  UniqueEnhMetafile emf(CloseEnhMetaFile(recorder));
  Bytes emfBytes(GetEnhMetaFileBits(emf.get(), 0, nullptr), '\0');
  GetEnhMetaFileBits(emf.get(), static_cast<UINT>(emfBytes.size()),
                     reinterpret_cast<BYTE*>(emfBytes.data()));

  // A Windows metafile of 200 x 100 units, red on its left half, for anisotropic play.
  HDC oldRecorder = CreateMetaFileW(nullptr);
  SetWindowOrgEx(oldRecorder, 0, 0, nullptr);
  SetWindowExtEx(oldRecorder, 200, 100, nullptr);
  SelectObject(oldRecorder, red);
  SelectObject(oldRecorder, GetStockObject(NULL_PEN));
  Rectangle(oldRecorder, 0, 0, 101, 101);
  HMETAFILE wmf = CloseMetaFile(oldRecorder);
  Bytes wmfBytes(GetMetaFileBitsEx(wmf, 0, nullptr), '\0');
  GetMetaFileBitsEx(wmf, static_cast<UINT>(wmfBytes.size()), wmfBytes.data());
  DeleteMetaFile(wmf);
  DeleteObject(red);

  PictureData wmfPicture = Picture(PictureFormat::kWmf, wmfBytes, 5292, 2646);
  wmfPicture.mappingMode = MM_ANISOTROPIC;
  for (const PictureData& picture : {Picture(PictureFormat::kEmf, emfBytes), wmfPicture}) {
    Bytes png;
    WideString failure;
    ASSERT_TRUE(RenderPictureAsPng(picture, 200, 100, png, failure)) << static_cast<int>(picture.format);
    Decoded image = DecodePng(png);
    ASSERT_EQ(image.width, 200u);
    ASSERT_EQ(image.height, 100u);
    EXPECT_EQ(image.At(20, 50), kRed) << static_cast<int>(picture.format);
    EXPECT_EQ(image.At(80, 10), kRed) << static_cast<int>(picture.format);
    EXPECT_EQ(image.At(120, 90), kWhite) << static_cast<int>(picture.format);
    EXPECT_EQ(image.At(190, 10), kWhite) << static_cast<int>(picture.format);
  }
  // Out of its proportions (played in them, then stretched), the EMF still fills the area.
  Bytes png;
  WideString failure;
  ASSERT_TRUE(RenderPictureAsPng(Picture(PictureFormat::kEmf, emfBytes), 100, 150, png, failure));
  Decoded image = DecodePng(png);
  ASSERT_EQ(image.height, 150u);
  EXPECT_EQ(image.At(20, 140), kRed);
  EXPECT_EQ(image.At(80, 10), kWhite);
}

// A record put in front of a metafile's end record, the header's sizes and counts made
// to agree.
Bytes WithEnhRecord(Bytes emf, const Bytes& record) {
  emf.insert(emf.size() - 20, record);  // GDI's end record is 20 bytes
  Bytes fixed;
  Put(fixed, static_cast<uint32_t>(emf.size()), 4);
  emf.replace(48, 4, fixed);
  emf[52] = static_cast<char>(emf[52] + 1);
  return emf;
}
Bytes WithWinRecord(Bytes wmf, const Bytes& record) {
  wmf.insert(wmf.size() - 6, record);  // the end record: three words
  Bytes fixed;
  Put(fixed, static_cast<uint32_t>(wmf.size() / 2), 4);
  wmf.replace(6, 4, fixed);
  return wmf;
}

// Records outside the allow-list do not reach GDI, and records whose counts or object
// numbers do not fit are skipped while the rest still draws: both metafiles paint their
// left half red, then invert their right half (a region record, not drawn here), and
// carry hostile records (points far beyond the record, objects not in the table,
// escapes, a colour profile on a share).
TEST(PicturePngTest, MetafilesPlayOnlyRecordsThatDrawAndFit) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HRGN right = CreateRectRgn(100, 0, 200, 100);
  RECT frame{0, 0, 5292, 2646};  // 200 x 100 pixels
  HDC recorder = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  RECT left{0, 0, 100, 100};
  FillRect(recorder, &left, red);
  InvertRgn(recorder, right);
  UniqueEnhMetafile emf(CloseEnhMetaFile(recorder));
  Bytes emfBytes(GetEnhMetaFileBits(emf.get(), 0, nullptr), '\0');
  GetEnhMetaFileBits(emf.get(), static_cast<UINT>(emfBytes.size()),
                     reinterpret_cast<BYTE*>(emfBytes.data()));
  Bytes polyline;  // a million 16-bit points said, none there
  Put(polyline, EMR_POLYLINE16, 4), Put(polyline, 28, 4), polyline.append(16, '\0');
  Put(polyline, 1000000, 4);
  Bytes select;  // object 500 of a table of a few
  Put(select, EMR_SELECTOBJECT, 4), Put(select, 12, 4), Put(select, 500, 4);
  Bytes profile;  // a colour profile on a share
  const std::string share = "\\\\h\\s\\p.icm";  // 11 characters and the end: 24 bytes
  Put(profile, EMR_SETICMPROFILEW, 4), Put(profile, 44, 4), Put(profile, 0, 4);
  Put(profile, 24, 4), Put(profile, 0, 4);
  for (char c : share + '\0') Put(profile, static_cast<unsigned char>(c), 2);
  emfBytes = WithEnhRecord(WithEnhRecord(WithEnhRecord(emfBytes, polyline), select), profile);

  HDC oldRecorder = CreateMetaFileW(nullptr);
  SetWindowOrgEx(oldRecorder, 0, 0, nullptr);
  SetWindowExtEx(oldRecorder, 200, 100, nullptr);
  SelectObject(oldRecorder, red);
  SelectObject(oldRecorder, GetStockObject(NULL_PEN));
  Rectangle(oldRecorder, 0, 0, 101, 101);
  InvertRgn(oldRecorder, right);
  HMETAFILE wmf = CloseMetaFile(oldRecorder);
  Bytes wmfBytes(GetMetaFileBitsEx(wmf, 0, nullptr), '\0');
  GetMetaFileBitsEx(wmf, static_cast<UINT>(wmfBytes.size()), wmfBytes.data());
  DeleteMetaFile(wmf);
  DeleteObject(right);
  DeleteObject(red);
  Bytes oldPolyline;  // 32767 points said, none there
  Put(oldPolyline, 4, 4), Put(oldPolyline, META_POLYLINE, 2), Put(oldPolyline, 0x7FFF, 2);
  Bytes oldSelect;  // object 40 of a table of a few
  Put(oldSelect, 4, 4), Put(oldSelect, META_SELECTOBJECT, 2), Put(oldSelect, 40, 2);
  Bytes escape;  // an escape to the device
  Put(escape, 5, 4), Put(escape, META_ESCAPE, 2), Put(escape, 4096, 2), Put(escape, 0, 2);
  wmfBytes = WithWinRecord(WithWinRecord(WithWinRecord(wmfBytes, oldPolyline), oldSelect), escape);

  PictureData wmfPicture = Picture(PictureFormat::kWmf, wmfBytes, 5292, 2646);
  wmfPicture.mappingMode = MM_ANISOTROPIC;
  for (const PictureData& picture : {Picture(PictureFormat::kEmf, emfBytes), wmfPicture}) {
    Bytes png;
    WideString failure;
    ASSERT_TRUE(RenderPictureAsPng(picture, 200, 100, png, failure))
        << static_cast<int>(picture.format) << ": " << Ascii(failure);
    Decoded image = DecodePng(png);
    ASSERT_EQ(image.width, 200u);
    EXPECT_EQ(image.At(20, 50), kRed) << static_cast<int>(picture.format);
    EXPECT_EQ(image.At(150, 50), kWhite) << static_cast<int>(picture.format) << ": the region record was played";
    EXPECT_EQ(image.At(190, 90), kWhite) << static_cast<int>(picture.format) << ": the region record was played";
  }
}

Bytes WithByte(Bytes bytes, size_t at, char value) {
  if (at < bytes.size()) bytes[at] = value;
  return bytes;
}

TEST(PicturePngTest, RefusesBrokenDataAndHostileSizes) {
  RECT frame{0, 0, 100, 100};
  UniqueEnhMetafile emf(CloseEnhMetaFile(CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr)));
  Bytes emfBytes(GetEnhMetaFileBits(emf.get(), 0, nullptr), '\0');
  GetEnhMetaFileBits(emf.get(), static_cast<UINT>(emfBytes.size()),
                     reinterpret_cast<BYTE*>(emfBytes.data()));
  Bytes wmfBytes;  // header, then the end record alone
  Put(wmfBytes, 1, 2), Put(wmfBytes, 9, 2), Put(wmfBytes, 0x300, 2), Put(wmfBytes, 12, 4);
  Put(wmfBytes, 0, 2), Put(wmfBytes, 3, 4), Put(wmfBytes, 0, 2), Put(wmfBytes, 3, 4),
      Put(wmfBytes, 0, 2);
  const Bytes dib = Dib(40, 24, false);
  // 65536 x 65536 at 8 bits, run-length: four bytes that would fill 4 GB.
  Bytes hugeRle;
  Put(hugeRle, 40, 4), Put(hugeRle, 65536, 4), Put(hugeRle, 65536, 4), Put(hugeRle, 1, 2);
  Put(hugeRle, 8, 2), Put(hugeRle, BI_RLE8, 4), Put(hugeRle, 4, 4), hugeRle.append(8, '\0');
  Put(hugeRle, 1, 4), Put(hugeRle, 0, 4), Put(hugeRle, 0, 4), hugeRle += Bytes("\xFF\x00\x00\x01", 4);
  struct Case {
    const char* what;
    PictureData picture;
    int width, height;
  } cases[] = {
      {"EMF of text", Picture(PictureFormat::kEmf, Bytes(200, 'x')), 10, 10},
      {"EMF cut off", Picture(PictureFormat::kEmf, emfBytes.substr(0, emfBytes.size() - 4)), 10, 10},
      {"EMF without end", Picture(PictureFormat::kEmf, WithByte(emfBytes, emfBytes.size() - 20, 9)),
       10, 10},
      {"WMF of text", Picture(PictureFormat::kWmf, Bytes(40, 'x')), 10, 10},
      {"WMF record too long", Picture(PictureFormat::kWmf, WithByte(wmfBytes, 18, 9)), 10, 10},
      {"WMF without end", Picture(PictureFormat::kWmf, wmfBytes.substr(0, 18)), 10, 10},
      {"DIB header size", Picture(PictureFormat::kDib, WithByte(dib, 0, 41)), 4, 2},
      {"DIB bits cut off", Picture(PictureFormat::kDib, dib.substr(0, dib.size() - 1)), 4, 2},
      {"DIB depth", Picture(PictureFormat::kDib, WithByte(dib, 14, 7)), 4, 2},
      {"DIB as JPEG", Picture(PictureFormat::kDib, WithByte(dib, 16, BI_JPEG)), 4, 2},
      {"DIB colours", Picture(PictureFormat::kDib, WithByte(Dib(40, 8, false), 33, 1)), 4, 2},
      {"DIB without width", Picture(PictureFormat::kDib, WithByte(dib, 4, 0)), 4, 2},
      {"DIB run-length of 65536 x 65536", Picture(PictureFormat::kDib, hugeRle), 100, 100},
      {"DIB run cut off", Picture(PictureFormat::kDib, Dib(40, 8, false, BI_RLE8).substr(0, 76)), 4, 2},
      {"DIB OS/2 masks", Picture(PictureFormat::kDib, WithByte(Dib(64, 16, false), 16, BI_BITFIELDS)), 4, 2},
      {"bitmap bits cut off", Bitmap(Bytes(3, '\0'), 4, 2, 1, 0), 4, 2},
      {"bitmap rows too short", Bitmap(Bytes(12, '\0'), 16, 2, 1, 1), 16, 2},
      {"bitmap depth", Bitmap(Bytes(12, '\0'), 4, 2, 7, 0), 4, 2},
      {"bitmap planes", [] { PictureData p = Bitmap(Bytes(16, '\0'), 4, 2, 1, 2); p.planes = 4; return p; }(), 4, 2},
      {"bitmap height", Bitmap(Bytes(12, '\0'), 4, 0, 24, 0), 4, 2},
      {"EMF without handles", Picture(PictureFormat::kEmf, WithByte(emfBytes, 56, 0)), 10, 10},
      {"EMF record count", Picture(PictureFormat::kEmf, WithByte(emfBytes, 52, 9)), 10, 10},
      {"EMF header size", Picture(PictureFormat::kEmf, WithByte(emfBytes, 4, 80)), 10, 10},
      {"EMF empty frame", Picture(PictureFormat::kEmf, WithByte(emfBytes, 32, 0)), 10, 10},
      {"WMF size in header", Picture(PictureFormat::kWmf, WithByte(wmfBytes, 6, 13)), 10, 10},
      {"WMF version", Picture(PictureFormat::kWmf, WithByte(wmfBytes, 5, 7)), 10, 10},
      {"PNG", Picture(PictureFormat::kPng, Bytes("\x89PNG", 4)), 4, 2},
      {"no width", Picture(PictureFormat::kDib, dib), 0, 2},
      {"negative height", Picture(PictureFormat::kDib, dib), 4, -2},
      {"too wide", Picture(PictureFormat::kDib, dib), kMaxPictureSide + 1, 1},
      {"too many pixels", Picture(PictureFormat::kDib, dib), kMaxPictureSide, kMaxPictureSide},
  };
  for (const Case& c : cases) {
    Bytes png = "old";
    WideString failure;
    EXPECT_FALSE(RenderPictureAsPng(c.picture, c.width, c.height, png, failure)) << c.what;
    EXPECT_FALSE(failure.empty()) << c.what;
    EXPECT_EQ(png, "old") << c.what;
  }
}

TEST(PicturePngTest, DisplaySizeComesFromGoalPixelsOrHeader) {
  Bytes emfHeader;  // frame of 2540 x 5080 in 0.01 mm: 96 x 192 pixels
  Put(emfHeader, EMR_HEADER, 4), Put(emfHeader, 88, 4), emfHeader.append(16, '\0');
  Put(emfHeader, 100, 4), Put(emfHeader, 0, 4), Put(emfHeader, 2640, 4), Put(emfHeader, 5080, 4);
  struct Case {
    const char* what;
    PictureFormat format;
    int pixelWidth, pixelHeight, goalWidth, goalHeight, scaleX, scaleY;
    Bytes bytes;
    int width, height;
  } cases[] = {
      {"goal", PictureFormat::kPng, 640, 480, 1500, 750, 100, 100, "", 100, 50},
      {"goal scaled", PictureFormat::kJpeg, 0, 0, 1500, 750, 50, 200, "", 50, 100},
      {"goal rounded", PictureFormat::kPng, 0, 0, 22, 5, 100, 100, "", 1, 1},
      {"bitmap pixels", PictureFormat::kDib, 30, 20, 0, 0, 100, 100, "", 30, 20},
      {"metafile 0.01 mm", PictureFormat::kWmf, 2540, 1270, 0, 0, 100, 100, "", 96, 48},
      {"DIB header", PictureFormat::kDib, 0, 0, 0, 0, 200, 100, Dib(40, 24, true), 8, 2},
      {"core DIB header", PictureFormat::kDib, 0, 0, 0, 0, 100, 100, Dib(12, 8, false), 4, 2},
      {"EMF frame", PictureFormat::kEmf, 0, 0, 0, 0, 100, 100, emfHeader, 96, 192},
      {"nothing to go by", PictureFormat::kPng, 0, -5, -3, 0, 100, 100, "", 0, 0},
      {"no overflow", PictureFormat::kPng, 0, 0, INT_MAX, 15, INT_MAX, 100, "", INT_MAX, 1},
  };
  for (const Case& c : cases) {
    PictureData picture = Picture(c.format, c.bytes, c.pixelWidth, c.pixelHeight);
    picture.goalWidth = c.goalWidth, picture.goalHeight = c.goalHeight;
    picture.scaleX = c.scaleX, picture.scaleY = c.scaleY;
    int width = -1, height = -1;
    PictureDisplaySize(picture, width, height);
    EXPECT_EQ(width, c.width) << c.what;
    EXPECT_EQ(height, c.height) << c.what;
  }
}

}  // namespace
