// Metafiles whose fonts and pens come out larger than they were made: each record that
// draws text or lines is checked as it would be drawn, after the transforms, map modes
// and extents before it, and skipped beyond the limits while the rest still draws; a
// metafile that plays too long is left out with its reason. Drawn for real, decoded again.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "picture/picture_png.h"
#include "tests/picture/decoded_png.h"

namespace {

constexpr int kSide = 400;  // pixels; the metafiles' frames are as many at 96 dpi
constexpr uint32_t kRed = 0xFF0000, kWhite = 0xFFFFFF;
using Draw = std::function<void(HDC)>;

std::string Ascii(const WideString& text) { return std::string(text.begin(), text.end()); }

// Text at the origin, its cells filled blue: whatever size it is drawn at, it covers the
// picture's top-left corner. `then` runs between selecting the font and drawing.
void Text(HDC dc, int height, int width = 0, int characters = 4, const Draw& then = nullptr) {
  HFONT font = CreateFontW(-height, width, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                           L"Arial");
  HGDIOBJ old = SelectObject(dc, font);
  if (then) then(dc);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(0, 0, 255));
  const std::wstring text(static_cast<size_t>(characters), L'H');
  ExtTextOutW(dc, 0, 0, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  SelectObject(dc, old);
  DeleteObject(font);
}

// A polyline from the origin with a corner, round ends: it covers the top-left corner.
void Line(HDC dc, HPEN pen) {
  HGDIOBJ old = SelectObject(dc, pen);
  const POINT points[] = {{0, 0}, {30, 0}, {0, 2}};
  Polyline(dc, points, 3);
  SelectObject(dc, old);
  DeleteObject(pen);
}
HPEN Geometric(int width, DWORD join = PS_JOIN_ROUND) {
  LOGBRUSH black{BS_SOLID, RGB(0, 0, 0), 0};
  return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | join, width, &black, 0, nullptr);
}
HPEN Cosmetic() {
  LOGBRUSH black{BS_SOLID, RGB(0, 0, 0), 0};
  return ExtCreatePen(PS_COSMETIC | PS_SOLID, 1, &black, 0, nullptr);
}

void World(HDC dc, float m11, float m12, float m21, float m22) {
  const XFORM transform{m11, m12, m21, m22, 0, 0};
  SetWorldTransform(dc, &transform);
}
void Scaled(HDC dc, int window, int viewport) {  // the viewport `viewport / window` times
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, window, window, nullptr);
  SetViewportExtEx(dc, viewport, viewport, nullptr);
}

// A red square in the bottom-right corner, in the picture's own units: drawn after the
// case, it shows that playing went on.
void Marker(HDC dc) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ oldBrush = SelectObject(dc, red);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, 350, 350, 391, 391);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(red);
}

ByteString RecordEnhanced(const Draw& draw) {
  RECT frame{0, 0, 10583, 10583};  // 400 x 400 pixels at 96 dpi
  HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  SetGraphicsMode(dc, GM_ADVANCED);
  draw(dc);
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  SetMapMode(dc, MM_TEXT);
  Marker(dc);
  HENHMETAFILE metafile = CloseEnhMetaFile(dc);
  ByteString bytes(GetEnhMetaFileBits(metafile, 0, nullptr), '\0');
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE*>(&bytes[0]));
  DeleteEnhMetaFile(metafile);
  return bytes;
}

ByteString RecordWindows(const Draw& draw) {
  HDC dc = CreateMetaFileW(nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetWindowExtEx(dc, kSide, kSide, nullptr);
  draw(dc);
  SetWindowExtEx(dc, kSide, kSide, nullptr);
  SetViewportExtEx(dc, kSide, kSide, nullptr);
  Marker(dc);
  HMETAFILE metafile = CloseMetaFile(dc);
  ByteString bytes(GetMetaFileBitsEx(metafile, 0, nullptr), '\0');
  GetMetaFileBitsEx(metafile, static_cast<UINT>(bytes.size()), &bytes[0]);
  DeleteMetaFile(metafile);
  return bytes;
}

// EMR_SETMITERLIMIT put after the header (Wine's recorder leaves the call out), the
// header's size and count made to agree.
ByteString WithMiterLimit(ByteString emf, float limit) {
  const DWORD record[3] = {EMR_SETMITERLIMIT, sizeof(record), 0};
  ByteString bytes(reinterpret_cast<const char*>(record), sizeof(record));
  std::memcpy(&bytes[8], &limit, sizeof(limit));
  DWORD headerSize = 0, records = 0;
  std::memcpy(&headerSize, &emf[4], 4);
  emf.insert(headerSize, bytes);
  const DWORD size = static_cast<DWORD>(emf.size());
  std::memcpy(&records, &emf[52], 4);
  ++records;
  std::memcpy(&emf[48], &size, 4);
  std::memcpy(&emf[52], &records, 4);
  return emf;
}

PictureData Picture(PictureFormat format, const ByteString& bytes) {
  PictureData picture;
  picture.format = format;
  picture.bytes = bytes;
  picture.pixelWidth = picture.pixelHeight = 10583;
  picture.mappingMode = MM_ANISOTROPIC;
  return picture;
}

// Pixels that are not white in the picture's top-left 40 x 40 pixels.
int InkInCorner(const Decoded& image) {
  int ink = 0;
  for (UINT y = 0; y < 40; ++y)
    for (UINT x = 0; x < 40; ++x) ink += image.At(x, y) != kWhite;
  return ink;
}

struct Case {
  const char* what;
  PictureFormat format;
  Draw draw;
  bool drawn;
  float miterLimit = 0;  // an EMR_SETMITERLIMIT first, when not 0
};

TEST(DrawnLimitsTest, TextAndLinesAreCheckedAsDrawn) {
  const Case cases[] = {
      {"font 40 under a world transform of 2", PictureFormat::kEmf,
       [](HDC dc) { World(dc, 2, 0, 0, 2), Text(dc, 40); }, true},
      {"font 40 under a world transform of 40", PictureFormat::kEmf,
       [](HDC dc) { World(dc, 40, 0, 0, 40), Text(dc, 40); }, false},
      {"font made, then a world transform of 40", PictureFormat::kEmf,
       [](HDC dc) { Text(dc, 40, 0, 4, [](HDC d) { World(d, 40, 0, 0, 40); }); }, false},
      {"world transforms of 5 and 8 multiplied", PictureFormat::kEmf,
       [](HDC dc) {
         World(dc, 5, 0, 0, 5);
         const XFORM eight{8, 0, 0, 8, 0, 0};
         ModifyWorldTransform(dc, &eight, MWT_RIGHTMULTIPLY);
         Text(dc, 40);
       },
       false},
      {"a world transform of 40 saved and restored", PictureFormat::kEmf,
       [](HDC dc) {
         SaveDC(dc), World(dc, 40, 0, 0, 40), RestoreDC(dc, -1);
         Text(dc, 40);
       },
       true},
      {"a world transform that shears by 40", PictureFormat::kEmf,
       [](HDC dc) { World(dc, 1, 0, 40, 1), Text(dc, 40); }, false},
      {"font 40 with viewport 2 times the window", PictureFormat::kEmf,
       [](HDC dc) { Scaled(dc, 200, 400), Text(dc, 40); }, true},
      {"font 40 with viewport 40 times the window", PictureFormat::kEmf,
       [](HDC dc) { Scaled(dc, 10, 400), Text(dc, 40); }, false},
      {"font 40, the viewport scaled by 40", PictureFormat::kEmf,
       [](HDC dc) {
         Scaled(dc, 400, 400), ScaleViewportExtEx(dc, 40, 1, 40, 1, nullptr);
         Text(dc, 40);
       },
       false},
      {"font 10 high and 2000 wide", PictureFormat::kEmf, [](HDC dc) { Text(dc, 10, 2000); },
       false},
      {"100 characters of font 100", PictureFormat::kEmf, [](HDC dc) { Text(dc, 100, 0, 100); },
       true},
      {"30,000 characters of font 100", PictureFormat::kEmf,
       [](HDC dc) { Text(dc, 100, 0, 30000); }, false},
      {"pen 10 under a world transform of 2", PictureFormat::kEmf,
       [](HDC dc) { World(dc, 2, 0, 0, 2), Line(dc, CreatePen(PS_SOLID, 10, 0)); }, true},
      {"pen 10 under a world transform of 200", PictureFormat::kEmf,
       [](HDC dc) { World(dc, 200, 0, 0, 200), Line(dc, CreatePen(PS_SOLID, 10, 0)); }, false},
      {"geometric pen 10, viewport 200 times the window", PictureFormat::kEmf,
       [](HDC dc) { Scaled(dc, 2, 400), Line(dc, Geometric(10)); }, false},
      {"cosmetic pen under a world transform of 200", PictureFormat::kEmf,
       [](HDC dc) { World(dc, 200, 0, 0, 200), Line(dc, Cosmetic()); }, true},
      {"mitred pen 100, the default miter limit", PictureFormat::kEmf,
       [](HDC dc) { Line(dc, Geometric(100, PS_JOIN_MITER)); }, true},
      {"mitred pen 100, a miter limit of 10", PictureFormat::kEmf,
       [](HDC dc) { Line(dc, Geometric(100, PS_JOIN_MITER)); }, true, 10},
      {"mitred pen 100, a miter limit of 1000", PictureFormat::kEmf,
       [](HDC dc) { Line(dc, Geometric(100, PS_JOIN_MITER)); }, false, 1000},
      {"WMF font 20 with viewport 2 times the window", PictureFormat::kWmf,
       [](HDC dc) { SetWindowExtEx(dc, 200, 200, nullptr), Text(dc, 20); }, true},
      {"WMF font 300 with viewport 100 times the window", PictureFormat::kWmf,
       [](HDC dc) {
         Text(dc, 300, 0, 4, [](HDC d) { SetViewportExtEx(d, 30000, 30000, nullptr); });
       },
       false},
      {"WMF pen 10 with viewport 40 times the window", PictureFormat::kWmf,
       [](HDC dc) { SetWindowExtEx(dc, 10, 10, nullptr), Line(dc, CreatePen(PS_SOLID, 10, 0)); },
       true},
      {"WMF pen 100 with viewport 40 times the window", PictureFormat::kWmf,
       [](HDC dc) { SetWindowExtEx(dc, 10, 10, nullptr), Line(dc, CreatePen(PS_SOLID, 100, 0)); },
       false},
  };
  for (const Case& c : cases) {
    ByteString bytes =
        c.format == PictureFormat::kEmf ? RecordEnhanced(c.draw) : RecordWindows(c.draw);
    if (c.miterLimit > 0) bytes = WithMiterLimit(bytes, c.miterLimit);
    ByteString png;
    WideString failure;
    ASSERT_TRUE(RenderPictureAsPng(Picture(c.format, bytes), kSide, kSide, png, failure))
        << c.what << ": " << Ascii(failure);
    const Decoded image = DecodePng(png);
    ASSERT_EQ(image.width, static_cast<UINT>(kSide)) << c.what;
    if (c.drawn)
      EXPECT_GT(InkInCorner(image), 100) << c.what << ": left out";
    else
      EXPECT_EQ(InkInCorner(image), 0) << c.what << ": drawn";
    EXPECT_EQ(image.At(370, 370), kRed) << c.what << ": the records after it were not played";
  }
}

// Records that each take a while and are within every limit: a wide pen around the
// whole picture, again and again. Playing stops at the time budget and the picture is
// left out, saying why.
TEST(DrawnLimitsTest, PictureThatPlaysTooLongIsLeftOut) {
  const Draw slow = [](HDC dc) {
    HPEN pen = Geometric(600);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int i = 0; i < 1000; ++i) Ellipse(dc, 20 + i % 7, 20, 380, 380);
    SelectObject(dc, old);
    DeleteObject(pen);
  };
  for (PictureFormat format : {PictureFormat::kEmf, PictureFormat::kWmf}) {
    const ByteString bytes =
        format == PictureFormat::kEmf ? RecordEnhanced(slow) : RecordWindows(slow);
    ByteString png = "old";
    WideString failure;
    EXPECT_FALSE(RenderPictureAsPng(Picture(format, bytes), kSide, kSide, png, failure))
        << static_cast<int>(format);
    EXPECT_NE(Ascii(failure).find("takes longer than"), std::string::npos) << Ascii(failure);
    EXPECT_EQ(png, "old");
  }
}

}  // namespace
