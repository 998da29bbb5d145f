// Metafiles and bitmaps drawn as PNG: each format drawn and the PNG decoded again with
// WIC to check its size and colours; broken data and hostile sizes refused with a reason.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

#include "convert/picture_png.h"
#include "irun/irun.h"
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

struct Decoded {
  UINT width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB
  uint32_t At(UINT x, UINT y) const { return pixels[y * width + x] & 0xFFFFFF; }
};

// The PNG decoded by WIC, converted to 32-bit BGRA.
Decoded DecodePng(const Bytes& png) {
  Decoded image;
  ComApartment com;
  UniqueCom<IWICImagingFactory> factory;
  UniqueCom<IWICStream> stream;
  UniqueCom<IWICBitmapDecoder> decoder;
  UniqueCom<IWICBitmapFrameDecode> frame;
  UniqueCom<IWICBitmapSource> converted;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) ||
      FAILED(factory.get()->CreateStream(stream.put())) ||
      FAILED(
          stream.get()->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(png.data())),
                                             static_cast<DWORD>(png.size()))) ||
      FAILED(factory.get()->CreateDecoderFromStream(
          stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())) ||
      FAILED(decoder.get()->GetFrame(0, frame.put())) ||
      FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.put())) ||
      FAILED(converted.get()->GetSize(&image.width, &image.height)))
    return Decoded{};
  GUID container{};
  if (FAILED(decoder.get()->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng)
    return Decoded{};
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  if (FAILED(converted.get()->CopyPixels(nullptr, image.width * 4, image.width * image.height * 4,
                                         reinterpret_cast<BYTE*>(image.pixels.data()))))
    return Decoded{};
  return image;
}

PictureData Picture(int format, const Bytes& bytes, int pixelWidth = 0, int pixelHeight = 0) {
  PictureData picture;
  picture.format = format;
  picture.bytes = bytes;
  picture.pixelWidth = pixelWidth;
  picture.pixelHeight = pixelHeight;
  return picture;
}

// kPicture as a packed DIB: header of headerSize (12 or 40), bits of the given depth,
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
  Bytes rows24;  // device-dependent: 12 bytes a row, already even
  for (const auto& row : kPicture)
    for (uint32_t color : row) Put(rows24, color, 3);
  struct Case {
    const char* what;
    PictureData picture;
    UINT scale;
  } cases[] = {
      {"DIB 24 bits, bottom-up", Picture(IRUN_PICTURE_DIB, Dib(40, 24, false)), 1},
      {"DIB 32 bits, top-down", Picture(IRUN_PICTURE_DIB, Dib(40, 32, true)), 1},
      {"DIB 16 bits, 5-6-5 masks", Picture(IRUN_PICTURE_DIB, Dib(40, 16, false, BI_BITFIELDS)), 1},
      {"DIB core header, 8 bits", Picture(IRUN_PICTURE_DIB, Dib(12, 8, false)), 1},
      {"DIB run-length, 8 bits", Picture(IRUN_PICTURE_DIB, Dib(40, 8, false, BI_RLE8)), 1},
      {"DIB stretched", Picture(IRUN_PICTURE_DIB, Dib(40, 24, false, BI_RGB, 2)), 10},
      {"bitmap 24 bits", Picture(IRUN_PICTURE_BITMAP, rows24, 4, 2), 1},
      // Two bytes a row fit one bit a pixel too, but four fill it: the VGA colours.
      {"bitmap 4 bits", Picture(IRUN_PICTURE_BITMAP, Bytes("\x9A\xCF\x0B\xED", 4), 4, 2), 1},
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

TEST(PicturePngTest, DrawsOneBitBitmapsBlackAndWhite) {
  Bytes png;
  WideString failure;
  // 16 pixels in two bytes a row: one bit a pixel, 0 black and 1 white.
  ASSERT_TRUE(RenderPictureAsPng(Picture(IRUN_PICTURE_BITMAP, Bytes("\xA5\x0F\xFF\x00", 4), 16, 2),
                                 16, 2, png, failure));
  Decoded image = DecodePng(png);
  ASSERT_EQ(image.width, 16u);
  const uint32_t expected[][3] = {{0, 0, kWhite},  {1, 0, kBlack}, {8, 0, kBlack},
                                  {12, 0, kWhite}, {0, 1, kWhite}, {15, 1, kBlack}};
  for (const auto& e : expected) EXPECT_EQ(image.At(e[0], e[1]), e[2]) << e[0] << "," << e[1];
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

  PictureData wmfPicture = Picture(IRUN_PICTURE_WMF, wmfBytes, 5292, 2646);
  wmfPicture.mappingMode = MM_ANISOTROPIC;
  for (const PictureData& picture : {Picture(IRUN_PICTURE_EMF, emfBytes), wmfPicture}) {
    Bytes png;
    WideString failure;
    ASSERT_TRUE(RenderPictureAsPng(picture, 200, 100, png, failure)) << picture.format;
    Decoded image = DecodePng(png);
    ASSERT_EQ(image.width, 200u);
    ASSERT_EQ(image.height, 100u);
    EXPECT_EQ(image.At(20, 50), kRed) << picture.format;
    EXPECT_EQ(image.At(80, 10), kRed) << picture.format;
    EXPECT_EQ(image.At(120, 90), kWhite) << picture.format;
    EXPECT_EQ(image.At(190, 10), kWhite) << picture.format;
  }
}

Bytes WithByte(Bytes bytes, size_t at, char value) {
  bytes[at] = value;
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
  struct Case {
    const char* what;
    PictureData picture;
    int width, height;
  } cases[] = {
      {"EMF of text", Picture(IRUN_PICTURE_EMF, Bytes(200, 'x')), 10, 10},
      {"EMF cut off", Picture(IRUN_PICTURE_EMF, emfBytes.substr(0, emfBytes.size() - 4)), 10, 10},
      {"EMF without end", Picture(IRUN_PICTURE_EMF, WithByte(emfBytes, emfBytes.size() - 20, 9)),
       10, 10},
      {"WMF of text", Picture(IRUN_PICTURE_WMF, Bytes(40, 'x')), 10, 10},
      {"WMF record too long", Picture(IRUN_PICTURE_WMF, WithByte(wmfBytes, 18, 9)), 10, 10},
      {"WMF without end", Picture(IRUN_PICTURE_WMF, wmfBytes.substr(0, 18)), 10, 10},
      {"DIB header size", Picture(IRUN_PICTURE_DIB, WithByte(dib, 0, 41)), 4, 2},
      {"DIB bits cut off", Picture(IRUN_PICTURE_DIB, dib.substr(0, dib.size() - 1)), 4, 2},
      {"DIB depth", Picture(IRUN_PICTURE_DIB, WithByte(dib, 14, 7)), 4, 2},
      {"DIB as JPEG", Picture(IRUN_PICTURE_DIB, WithByte(dib, 16, BI_JPEG)), 4, 2},
      {"DIB colours", Picture(IRUN_PICTURE_DIB, WithByte(Dib(40, 8, false), 33, 1)), 4, 2},
      {"DIB without width", Picture(IRUN_PICTURE_DIB, WithByte(dib, 4, 0)), 4, 2},
      {"bitmap rows", Picture(IRUN_PICTURE_BITMAP, Bytes(7, '\0'), 4, 2), 4, 2},
      {"bitmap depth", Picture(IRUN_PICTURE_BITMAP, Bytes(12, '\0'), 4, 2), 4, 2},
      {"bitmap height", Picture(IRUN_PICTURE_BITMAP, Bytes(12, '\0'), 4, 0), 4, 2},
      {"PNG", Picture(IRUN_PICTURE_PNG, Bytes("\x89PNG", 4)), 4, 2},
      {"no width", Picture(IRUN_PICTURE_DIB, dib), 0, 2},
      {"negative height", Picture(IRUN_PICTURE_DIB, dib), 4, -2},
      {"too wide", Picture(IRUN_PICTURE_DIB, dib), kMaxPictureSide + 1, 1},
      {"too many pixels", Picture(IRUN_PICTURE_DIB, dib), kMaxPictureSide, kMaxPictureSide},
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
    int format, pixelWidth, pixelHeight, goalWidth, goalHeight, scaleX, scaleY;
    Bytes bytes;
    int width, height;
  } cases[] = {
      {"goal", IRUN_PICTURE_PNG, 640, 480, 1500, 750, 100, 100, "", 100, 50},
      {"goal scaled", IRUN_PICTURE_JPEG, 0, 0, 1500, 750, 50, 200, "", 50, 100},
      {"goal rounded", IRUN_PICTURE_PNG, 0, 0, 22, 5, 100, 100, "", 1, 1},
      {"bitmap pixels", IRUN_PICTURE_DIB, 30, 20, 0, 0, 100, 100, "", 30, 20},
      {"metafile 0.01 mm", IRUN_PICTURE_WMF, 2540, 1270, 0, 0, 100, 100, "", 96, 48},
      {"DIB header", IRUN_PICTURE_DIB, 0, 0, 0, 0, 200, 100, Dib(40, 24, true), 8, 2},
      {"core DIB header", IRUN_PICTURE_DIB, 0, 0, 0, 0, 100, 100, Dib(12, 8, false), 4, 2},
      {"EMF frame", IRUN_PICTURE_EMF, 0, 0, 0, 0, 100, 100, emfHeader, 96, 192},
      {"nothing to go by", IRUN_PICTURE_PNG, 0, -5, -3, 0, 100, 100, "", 0, 0},
      {"no overflow", IRUN_PICTURE_PNG, 0, 0, INT_MAX, 15, INT_MAX, 100, "", INT_MAX, 1},
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
