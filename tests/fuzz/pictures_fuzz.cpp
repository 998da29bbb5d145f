// Mutated pictures of every format through the code a send runs: the page's RTF through
// the converter (irun.dll) and the note's pictures (NotePictures, as the clean-up meets
// their references), which draw metafiles and bitmaps and encode them as PNG; each
// mutated picture also goes to NotePictures directly, as a converter that checked less
// would hand it over. Seeds
// are the converter tests' pictures (LibreOffice's PNG, JPEG and metafile), the demo
// page's metafile, metafiles recorded with GDI and bitmaps of every layout; mutations
// change header fields, lengths, record types, sizes and counts, and the RTF's sizes, and
// put in records that change how large what follows comes out (world transforms, map
// modes, extents, origins, scaled extents, miter limits, saved and restored states).
//
//   pictures_fuzz [--cases N] [--seed S] [--first I] [--replay FOLDER] [--keep]
//
// Replays each *.rtf of FOLDER (faults found before) first, then runs N cases from seed
// S, from case I (0 by default); --keep writes each case's page to pictures_fuzz_case.rtf
// first (to find a slow one). Fails when a case takes over 2 s or the process's peak
// private memory (sampled every millisecond under Wine, see bench/send/peak_memory.h)
// grows over 64 MB beyond its size after the first cases; a crash ends the process with the case's
// number and leaves its page as pictures_fuzz_crash.rtf in the working folder.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/send/peak_memory.h"
#include "convert/rtf_to_html.h"
#include "irun/irun.h"
#include "note/note_pictures.h"
#include "note/send_note.h"
#include "picture/picture_png.h"
#include "win/guards.h"

namespace {

constexpr double kCaseSeconds = 2.0;
constexpr SIZE_T kCaseMemory = 64u << 20;
constexpr int kWarmUpCases = 20;

using Bytes = std::string;
using Random = std::mt19937;

// ---- seeds ----

struct Seed {
  const char* keyword;  // \pict's format keyword
  PictureFormat format;
  Bytes bytes;
  std::string sizes;  // the RTF's size keywords
};

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Put(Bytes& b, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(value >> (8 * i)));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Pairs of hex digits from text[at] up to the '}' that ends them; other characters
// between them are skipped.
Bytes HexFrom(const std::string& text, size_t at) {
  Bytes bytes;
  int high = -1;
  for (; at < text.size() && text[at] != '}'; ++at) {
    const int value = HexValue(text[at]);
    if (value < 0) continue;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<char>(high << 4 | value));
      high = -1;
    }
  }
  return bytes;
}

// The data of the first picture group with `keyword`, on the lines after it (as
// LibreOffice writes them).
Bytes PictureAfter(const std::string& rtf, const std::string& keyword) {
  const size_t at = rtf.find(keyword);
  const size_t line = at == std::string::npos ? at : rtf.find('\n', at);
  return line == std::string::npos ? Bytes() : HexFrom(rtf, line);
}

// The demo page's metafile: the demo host's source holds it in hex strings on the lines
// after its keywords.
Bytes DemoMetafile() {
  return PictureAfter(ReadFile(std::string(Y2E_SOURCE_DIR) + "/testbed/demo_host/demo_host.cpp"),
                      "\\\\wmetafile8");
}

Bytes EnhBits(HENHMETAFILE metafile) {
  Bytes bytes(GetEnhMetaFileBits(metafile, 0, nullptr), '\0');
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE*>(&bytes[0]));
  DeleteEnhMetaFile(metafile);
  return bytes;
}

Bytes WinBits(HMETAFILE metafile) {
  Bytes bytes(GetMetaFileBitsEx(metafile, 0, nullptr), '\0');
  GetMetaFileBitsEx(metafile, static_cast<UINT>(bytes.size()), &bytes[0]);
  DeleteMetaFile(metafile);
  return bytes;
}

// Draws something of every kind of record a drawing uses: pens, brushes, a font and
// text, lines, shapes, a path, a clip and a bitmap.
void DrawEverything(HDC dc) {
  HPEN pen = CreatePen(PS_DASH, 1, RGB(0, 0, 255));
  HBRUSH brush = CreateHatchBrush(HS_CROSS, RGB(0, 128, 0));
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
  HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetTextColor(dc, RGB(200, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  Rectangle(dc, 2, 2, 60, 40);
  Ellipse(dc, 10, 10, 50, 30);
  RoundRect(dc, 62, 2, 98, 30, 6, 6);
  Pie(dc, 0, 40, 40, 80, 0, 60, 40, 60);
  const POINT points[] = {{60, 40}, {90, 70}, {70, 90}, {50, 60}};
  Polygon(dc, points, 4);
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, 99, 99);
  Polyline(dc, points, 4);
  TextOutW(dc, 5, 82, L"Yarrin", 6);
  BeginPath(dc);
  MoveToEx(dc, 20, 20, nullptr);
  LineTo(dc, 40, 25);
  LineTo(dc, 30, 35);
  CloseFigure(dc);
  EndPath(dc);
  StrokeAndFillPath(dc);
  IntersectClipRect(dc, 0, 0, 90, 90);
  struct {
    BITMAPINFOHEADER header;
    DWORD bits[4];
  } dib = {{sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 16, 0, 0, 0, 0},
           {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  StretchDIBits(dc, 70, 70, 20, 20, 0, 0, 2, 2, dib.bits, reinterpret_cast<BITMAPINFO*>(&dib),
                DIB_RGB_COLORS, SRCCOPY);
  SelectObject(dc, oldFont), SelectObject(dc, oldBrush), SelectObject(dc, oldPen);
  DeleteObject(font), DeleteObject(brush), DeleteObject(pen);
}

Bytes RecordedEnhMetafile() {
  RECT frame{0, 0, 2646, 2646};  // 100 x 100 pixels
  HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  DrawEverything(dc);
  return EnhBits(CloseEnhMetaFile(dc));
}

Bytes RecordedWinMetafile() {
  HDC dc = CreateMetaFileW(nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetWindowExtEx(dc, 100, 100, nullptr);
  DrawEverything(dc);
  return WinBits(CloseMetaFile(dc));
}

// A packed DIB of 6 x 4 pixels: header of headerSize, depth, compression, a full colour
// table up to 8 bits, bits (run-length ones as literal runs and a repeat).
Bytes Dib(int headerSize, int depth, uint32_t compression) {
  const int width = 6, height = 4;
  Bytes b;
  Put(b, headerSize, 4);
  if (headerSize == 12) {
    Put(b, width, 2), Put(b, height, 2), Put(b, 1, 2), Put(b, depth, 2);
  } else {
    Put(b, width, 4), Put(b, height, 4), Put(b, 1, 2), Put(b, depth, 2), Put(b, compression, 4);
    Put(b, 0, 4), Put(b, 2835, 4), Put(b, 2835, 4), Put(b, 0, 4), Put(b, 0, 4);
    b.append(headerSize - 40, '\0');
  }
  if (compression == BI_BITFIELDS) Put(b, 0xF800, 4), Put(b, 0x07E0, 4), Put(b, 0x001F, 4);
  if (depth <= 8)
    for (int i = 0; i < (1 << depth); ++i) Put(b, i * 0x010203u * 37, headerSize == 12 ? 3 : 4);
  for (int y = 0; y < height; ++y) {
    if (compression == BI_RLE8) {
      b += Bytes("\x03\x05\x00\x03\x01\x02\x03\x00\x00\x00", 10);
    } else if (compression == BI_RLE4) {
      b += Bytes("\x04\x12\x00\x02\x34\x00\x00\x00", 8);
    } else {
      const int row = (width * depth + 31) / 32 * 4;
      for (int i = 0; i < row; ++i) b.push_back(static_cast<char>(y * 31 + i * 7));
    }
  }
  if (compression == BI_RLE8 || compression == BI_RLE4) b += Bytes("\x00\x01", 2);
  return b;
}

std::vector<Seed> Seeds() {
  const std::string samples = Y2E_OFFICE_SAMPLES;
  const std::string office = ReadFile(samples + "/pictures.rtf");
  std::vector<Seed> seeds = {
      {"\\pngblip", PictureFormat::kPng, ReadFile(samples + "/picture.png"), "\\picw40\\pich30"},
      {"\\jpegblip", PictureFormat::kJpeg, ReadFile(samples + "/picture.jpg"), "\\picw32\\pich24"},
      {"\\wmetafile8", PictureFormat::kWmf, ReadFile(samples + "/picture.wmf").substr(22),
       "\\picw2540\\pich1905"},
      {"\\wmetafile8", PictureFormat::kWmf, PictureAfter(office, "\\wmetafile8"),
       "\\picw2540\\pich1905"},
      {"\\wmetafile8", PictureFormat::kWmf, DemoMetafile(), "\\picw10583\\pich7938"},
      {"\\emfblip", PictureFormat::kEmf, RecordedEnhMetafile(), ""},
      {"\\wmetafile8", PictureFormat::kWmf, RecordedWinMetafile(), "\\picw2646\\pich2646"},
      {"\\dibitmap0", PictureFormat::kDib, Dib(40, 24, BI_RGB), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(40, 8, BI_RGB), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(40, 8, BI_RLE8), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(40, 4, BI_RLE4), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(40, 16, BI_BITFIELDS), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(12, 8, BI_RGB), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(64, 1, BI_RGB), ""},
      {"\\dibitmap0", PictureFormat::kDib, Dib(124, 32, BI_RGB), ""},
      {"\\wbitmap0", PictureFormat::kBitmap, Bytes(16, '\x5A'),
       "\\picw16\\pich8\\wbmbitspixel1\\wbmwidthbytes2"},
      {"\\wbitmap0", PictureFormat::kBitmap, Bytes(48, '\x3C'),
       "\\picw6\\pich4\\wbmbitspixel8\\wbmwidthbytes12"},
      {"\\wbitmap0", PictureFormat::kBitmap, Bytes(72, '\x96'),
       "\\picw6\\pich4\\wbmbitspixel24\\wbmwidthbytes18"},
  };
  seeds.erase(
      std::remove_if(seeds.begin(), seeds.end(), [](const Seed& s) { return s.bytes.empty(); }),
      seeds.end());
  return seeds;
}

// ---- mutations ----

const uint32_t kInteresting[] = {
    0,       1,          2,          3,          4,          7,          8,         12,     16,
    40,      64,         0x7F,       0x80,       0xFF,       0x100,      0x7FFF,    0x8000, 0xFFFF,
    0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF, 0x40000000, 0x00010001};

uint32_t Interesting(Random& rng) {
  return kInteresting[rng() % (sizeof(kInteresting) / sizeof(kInteresting[0]))];
}

void Poke(Bytes& b, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes && at + i < b.size(); ++i)
    b[at + i] = static_cast<char>(value >> (8 * i));
}

// Where the records of a metafile begin, as its framing says (as far as it holds).
std::vector<size_t> Records(const Bytes& b, PictureFormat format) {
  std::vector<size_t> starts;
  auto read32 = [&](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  size_t at = format == PictureFormat::kEmf ? 0 : 18;
  while (at + 8 <= b.size() && starts.size() < 4096) {
    starts.push_back(at);
    const uint64_t size = format == PictureFormat::kEmf ? read32(at + 4) : uint64_t(read32(at)) * 2;
    if (size < 6 || size > b.size() - at) break;
    at += static_cast<size_t>(size);
  }
  return starts;
}

// Scales a transform may hold: none, tiny, ordinary, far beyond any picture, negative
// and not numbers at all.
const float kScales[] = {0,    1e-6f, 0.01f, 0.5f, 1,      2,     10,  40,       100, 1000,
                         1e5f, 1e9f,  -40,   -1,   3e38f, 1e-38f, NAN, INFINITY, -INFINITY};
// Extents and origins as 16-bit parameters.
const int16_t kExtents[] = {0, 1, 2, 3, 10, 100, 400, 1000, 30000, 32767, -32768, -1, -400};

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}
float AnyScale(Random& rng) { return kScales[rng() % (sizeof(kScales) / sizeof(kScales[0]))]; }
int16_t AnyExtent(Random& rng) {
  return rng() % 4 ? kExtents[rng() % (sizeof(kExtents) / sizeof(kExtents[0]))]
                   : static_cast<int16_t>(rng());
}
uint32_t AnyExtent32(Random& rng) {
  return rng() % 2 ? static_cast<uint32_t>(static_cast<int32_t>(AnyExtent(rng)))
                   : Interesting(rng);
}

// A record that changes how large everything after it comes out: a world transform set
// or multiplied, a map mode, an extent, an origin, a scaled extent, a miter limit, or the
// state saved or restored.
Bytes EnhStateRecord(Random& rng) {
  Bytes r;
  const unsigned kind = rng() % 9;
  switch (kind) {
    case 0:    // EMR_SETWORLDTRANSFORM: a scale, sometimes a shear, rarely anything
    case 1: {  // EMR_MODIFYWORLDTRANSFORM, with a mode (1 to 3, or another)
      const bool modify = kind == 1;
      Put(r, modify ? EMR_MODIFYWORLDTRANSFORM : EMR_SETWORLDTRANSFORM, 4);
      Put(r, modify ? 36 : 32, 4);
      const float scale = AnyScale(rng);
      const float shear = rng() % 4 ? 0 : AnyScale(rng);
      for (float value : {scale, shear, rng() % 4 ? 0.0f : AnyScale(rng),
                          rng() % 3 ? scale : AnyScale(rng), rng() % 2 ? 0.0f : AnyScale(rng),
                          rng() % 2 ? 0.0f : AnyScale(rng)})
        Put(r, FloatBits(value), 4);
      if (modify) Put(r, rng() % 5 ? 1 + rng() % 3 : Interesting(rng), 4);
      break;
    }
    case 2:  // EMR_SETMAPMODE
      Put(r, EMR_SETMAPMODE, 4), Put(r, 12, 4), Put(r, rng() % 8 ? 1 + rng() % 8 : rng(), 4);
      break;
    case 3:  // EMR_SETWINDOWEXTEX, EMR_SETWINDOWORGEX, EMR_SETVIEWPORTEXTEX, EMR_SETVIEWPORTORGEX
      Put(r, EMR_SETWINDOWEXTEX + rng() % 4, 4), Put(r, 16, 4);
      Put(r, AnyExtent32(rng), 4), Put(r, AnyExtent32(rng), 4);
      break;
    case 4:  // EMR_SCALEVIEWPORTEXTEX, EMR_SCALEWINDOWEXTEX
      Put(r, rng() % 2 ? EMR_SCALEVIEWPORTEXTEX : EMR_SCALEWINDOWEXTEX, 4), Put(r, 24, 4);
      for (int i = 0; i < 4; ++i) Put(r, AnyExtent32(rng), 4);
      break;
    case 5:  // EMR_SETMITERLIMIT, as a float or a whole number
      Put(r, EMR_SETMITERLIMIT, 4), Put(r, 12, 4);
      Put(r, rng() % 2 ? FloatBits(AnyScale(rng)) : Interesting(rng), 4);
      break;
    case 6:  // EMR_SAVEDC
      Put(r, EMR_SAVEDC, 4), Put(r, 8, 4);
      break;
    case 7:  // EMR_RESTOREDC
      Put(r, EMR_RESTOREDC, 4), Put(r, 12, 4), Put(r, rng() % 2 ? -1 : Interesting(rng), 4);
      break;
    default:  // anisotropic, a small window and a large viewport: the one that scales most
      Put(r, EMR_SETMAPMODE, 4), Put(r, 12, 4), Put(r, MM_ANISOTROPIC, 4);
      Put(r, EMR_SETWINDOWEXTEX, 4), Put(r, 16, 4);
      Put(r, 1 + rng() % 4, 4), Put(r, 1 + rng() % 4, 4);
      Put(r, EMR_SETVIEWPORTEXTEX, 4), Put(r, 16, 4), Put(r, AnyExtent32(rng), 4);
      Put(r, AnyExtent32(rng), 4);
  }
  return r;
}

Bytes WinStateRecord(Random& rng) {
  Bytes r;
  auto record = [&r](uint16_t function, std::initializer_list<int> parameters) {
    Put(r, static_cast<uint32_t>(3 + parameters.size()), 4), Put(r, function, 2);
    for (int parameter : parameters) Put(r, static_cast<uint32_t>(parameter), 2);
  };
  switch (rng() % 6) {
    case 0:
      record(META_SETMAPMODE, {rng() % 8 ? static_cast<int>(1 + rng() % 8) : AnyExtent(rng)});
      break;
    case 1: {  // META_SETWINDOWEXT, META_SETVIEWPORTEXT, META_SETWINDOWORG, META_SETVIEWPORTORG
      const uint16_t functions[] = {META_SETWINDOWEXT, META_SETVIEWPORTEXT, META_SETWINDOWORG,
                                    META_SETVIEWPORTORG};
      record(functions[rng() % 4], {AnyExtent(rng), AnyExtent(rng)});
      break;
    }
    case 2:
      record(rng() % 2 ? META_SCALEVIEWPORTEXT : META_SCALEWINDOWEXT,
             {AnyExtent(rng), AnyExtent(rng), AnyExtent(rng), AnyExtent(rng)});
      break;
    case 3:
      record(META_SAVEDC, {});
      break;
    case 4:
      record(META_RESTOREDC, {rng() % 2 ? -1 : AnyExtent(rng)});
      break;
    default:  // a small window and a large viewport
      record(META_SETMAPMODE, {MM_ANISOTROPIC});
      record(META_SETWINDOWEXT,
             {static_cast<int>(1 + rng() % 4), static_cast<int>(1 + rng() % 4)});
      record(META_SETVIEWPORTEXT, {AnyExtent(rng), AnyExtent(rng)});
  }
  return r;
}

// A state record put before a record of the metafile (never before its header), with the
// header's size and count made to agree, so that the metafile still holds together.
void InsertStateRecord(Bytes& b, PictureFormat format, const std::vector<size_t>& starts,
                       Random& rng) {
  const bool enhanced = format == PictureFormat::kEmf;
  if (starts.size() < (enhanced ? 2u : 1u)) return;
  const size_t at =
      enhanced ? starts[1 + rng() % (starts.size() - 1)] : starts[rng() % starts.size()];
  const Bytes records = enhanced ? EnhStateRecord(rng) : WinStateRecord(rng);
  b.insert(at, records);
  auto read32 = [](const Bytes& bytes, size_t i) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(bytes[i + k]);
    return v;
  };
  const uint32_t size = static_cast<uint32_t>(records.size());
  if (enhanced) {
    uint32_t count = 0;
    for (size_t i = 0; i < records.size(); i += read32(records, i + 4)) ++count;
    Poke(b, 48, read32(b, 48) + size, 4);
    Poke(b, 52, read32(b, 52) + count, 4);
  } else {
    Poke(b, 6, read32(b, 6) + size / 2, 4);                // mtSize, in words
    Poke(b, 12, std::max<uint32_t>(read32(b, 12), 7), 4);  // mtMaxRecord: 7 words at most
  }
}

void MutateRecord(Bytes& b, PictureFormat format, Random& rng) {
  const std::vector<size_t> starts = Records(b, format);
  if (starts.empty()) return;
  const size_t at = starts[rng() % starts.size()];
  const bool enhanced = format == PictureFormat::kEmf;
  switch (rng() % 9) {
    case 0:  // another type
      if (enhanced)
        Poke(b, at, rng() % 125, 4);
      else
        Poke(b, at + 4, rng() % 2 ? rng() % 0x1000 : (rng() % 0x30) | (rng() % 16) << 8, 2);
      break;
    case 1:  // another size
      Poke(b, enhanced ? at + 4 : at,
           rng() % 2 ? Interesting(rng) : rng() % 64 * (enhanced ? 4 : 1), 4);
      break;
    case 2:  // a count, an index or an offset inside it
      Poke(b, at + (enhanced ? 8 + 4 * (rng() % 20) : 6 + 2 * (rng() % 12)), Interesting(rng),
           enhanced ? 4 : 2);
      break;
    case 3: {  // the record twice
      const size_t next = std::find(starts.begin(), starts.end(), at) + 1 < starts.end()
                              ? *(std::find(starts.begin(), starts.end(), at) + 1)
                              : b.size();
      b.insert(at, b.substr(at, next - at));
      break;
    }
    case 4: {  // the record gone
      auto it = std::find(starts.begin(), starts.end(), at);
      if (it + 1 < starts.end()) b.erase(at, *(it + 1) - at);
      break;
    }
    case 5:  // the header's counts and sizes
      if (enhanced)
        Poke(b, 48 + 4 * (rng() % 4), Interesting(rng), rng() % 2 ? 4 : 2);
      else
        Poke(b, 6 + 2 * (rng() % 6), Interesting(rng), 2);
      break;
    default:  // a transform, map mode, extent or origin put in, often several
      for (int n = 1 + rng() % 3; n > 0; --n) InsertStateRecord(b, format, Records(b, format), rng);
  }
}

void MutateBytes(Bytes& b, PictureFormat format, Random& rng) {
  if (b.empty()) return;
  switch (rng() % 7) {
    case 0:  // a few bytes
      for (int n = 1 + rng() % 8; n > 0; --n) b[rng() % b.size()] = static_cast<char>(rng());
      break;
    case 1:  // a field of the header
      Poke(b, rng() % std::min<size_t>(b.size(), 128), Interesting(rng), rng() % 2 ? 4 : 2);
      break;
    case 2:  // cut off
      b.resize(rng() % b.size());
      break;
    case 3:  // more bytes
      for (int n = rng() % 64; n > 0; --n) b.push_back(static_cast<char>(rng()));
      break;
    case 4:  // bits of the 4-byte field at an aligned place
      Poke(b, (rng() % b.size()) & ~size_t(3), static_cast<uint32_t>(rng()), 4);
      break;
    default:
      if (format == PictureFormat::kEmf || format == PictureFormat::kWmf)
        MutateRecord(b, format, rng);
      else
        Poke(b, rng() % std::min<size_t>(b.size(), 64), Interesting(rng), 4);
  }
}

// Sizes as the RTF gives them: mostly small, sometimes at or beyond the limits.
int SizeValue(Random& rng) {
  switch (rng() % 8) {
    case 0:
      return 0;
    case 1:
      return static_cast<int>(Interesting(rng) & 0x7FFFFFFF);
    case 2:
      return static_cast<int>(rng() % 20000);
    default:
      return static_cast<int>(rng() % 300);
  }
}

std::string MutateSizes(const Seed& seed, Random& rng) {
  if (rng() % 3) return seed.sizes;
  static const char* const kKeywords[] = {"picw",         "pich",      "picwgoal",
                                          "pichgoal",     "picscalex", "picscaley",
                                          "wbmbitspixel", "wbmplanes", "wbmwidthbytes"};
  std::string sizes = seed.sizes;
  for (int n = 1 + rng() % 3; n > 0; --n) {
    const char* keyword = kKeywords[rng() % 9];
    int value = SizeValue(rng);
    // Goal sizes are twips; scales percent: keep most of them drawable.
    if (std::strstr(keyword, "goal") && rng() % 2) value = rng() % 3000;
    if (std::strstr(keyword, "scale") && rng() % 2) value = 1 + rng() % 200;
    sizes += "\\" + std::string(keyword) + std::to_string(value);
  }
  return sizes;
}

// ---- running ----

struct Case {
  std::string rtf;
  PictureData picture;  // as handed over directly
};

constexpr char kHexDigits[] = "0123456789abcdef";

Case MakeCase(const std::vector<Seed>& seeds, uint32_t seed, uint32_t index) {
  Random rng(seed * 1000003u + index);
  const Seed& from = seeds[rng() % seeds.size()];
  Case c;
  Bytes bytes = from.bytes;
  for (int n = 1 + rng() % 3; n > 0; --n) MutateBytes(bytes, from.format, rng);
  std::string keyword = from.keyword;
  if (from.format == PictureFormat::kWmf && rng() % 8 == 0)
    keyword = "\\wmetafile" + std::to_string(rng() % 10);
  const std::string sizes = MutateSizes(from, rng);
  c.rtf = "{\\rtf1\\ansi before{\\pict" + keyword + sizes + " ";
  c.rtf.reserve(c.rtf.size() + bytes.size() * 2 + 32);
  for (unsigned char byte : bytes) c.rtf += kHexDigits[byte >> 4], c.rtf += kHexDigits[byte & 15];
  c.rtf += "}after\\par}";
  c.picture.name = "_img_1.x";
  c.picture.format = from.format;
  c.picture.bytes = bytes;
  return c;
}

// The RTF sizes of the case, as the converter read them, for the direct path too.
void TakeSizes(const std::vector<PictureData>& converted, PictureData& picture) {
  if (converted.empty()) {
    picture.pixelWidth = picture.pixelHeight = 100;
    return;
  }
  const ByteString bytes = std::move(picture.bytes);
  const ByteString name = picture.name;
  picture = converted[0];
  picture.bytes = std::move(bytes);
  picture.name = name;
}

const std::string* g_currentRtf = nullptr;
uint32_t g_currentIndex = 0, g_currentSeed = 0;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::fprintf(
      stderr,
      "pictures_fuzz: CRASH 0x%08lX in case %u of seed %u (kept as pictures_fuzz_crash.rtf)\n",
      static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode), g_currentIndex,
      g_currentSeed);
  if (g_currentRtf) {
    if (FILE* file = std::fopen("pictures_fuzz_crash.rtf", "wb")) {
      std::fwrite(g_currentRtf->data(), 1, g_currentRtf->size(), file);
      std::fclose(file);
    }
  }
  std::fflush(stderr);
  ExitProcess(3);
  return EXCEPTION_EXECUTE_HANDLER;
}

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Totals {
  uint32_t cases = 0, drawn = 0, leftOut = 0, slow = 0;
  double slowest = 0;
  uint32_t slowestCase = 0;
};

// One page through the converter and the note's pictures, then its picture directly.
void RunCase(Case& c, Totals& totals) {
  g_currentRtf = &c.rtf;
  const double start = Now();
  WideString failure;
  int lines = 0;
  const LogSink report{[](const wchar_t*, void* count) {
                         ++*static_cast<decltype(lines)*>(count);
                         return 0;
                       },
                       &lines};
  if (std::optional<ConvertedPage> page = ConvertPage(c.rtf, failure)) {
    TakeSizes(page->Pictures(), c.picture);
    BytePieces content;
    std::vector<NoteResource> resources;
    if (PageContent(*page, report, content, resources, failure))
      totals.drawn += static_cast<uint32_t>(resources.size());
  } else {
    TakeSizes({}, c.picture);
  }
  std::vector<PictureData> handed = {c.picture};
  NotePictures direct(handed, report);
  PictureLookup::Media media;
  direct.Find(handed[0].name, media);
  totals.drawn += static_cast<uint32_t>(direct.TakeResources().size());
  totals.leftOut += static_cast<uint32_t>(lines);
  const double seconds = Now() - start;
  if (seconds > totals.slowest) totals.slowest = seconds, totals.slowestCase = g_currentIndex;
  if (seconds > kCaseSeconds) {
    ++totals.slow;
    std::fprintf(stderr, "pictures_fuzz: case %u of seed %u took %.2f s\n", g_currentIndex,
                 g_currentSeed, seconds);
  }
  ++totals.cases;
}

std::vector<std::string> RtfFiles(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "/*.rtf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.push_back(folder + "/" + found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t cases = 300, seed = 1, first = 0;
  bool keep = false;
  std::string replay;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--cases"))
      cases = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    if (!std::strcmp(argv[i], "--seed"))
      seed = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    if (!std::strcmp(argv[i], "--first"))
      first = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    if (!std::strcmp(argv[i], "--replay")) replay = argv[i + 1];
  }
  for (int i = 1; i < argc; ++i) keep |= !std::strcmp(argv[i], "--keep");
  SetUnhandledExceptionFilter(ReportCrash);
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  // The converter stays loaded between cases, as it is once the first send has loaded it.
  UniqueModule converter(LoadLibraryW(L"irun.dll"));
  const std::vector<Seed> seeds = Seeds();
  if (!converter || seeds.size() < 15) {
    std::fprintf(stderr,
                 "pictures_fuzz: the converter or the seed pictures are missing (%u seeds)\n",
                 static_cast<unsigned>(seeds.size()));
    return 2;
  }
  Totals totals;
  uint32_t replayed = 0;
  for (const std::string& file : RtfFiles(replay)) {
    Case c;
    c.rtf = ReadFile(file);
    c.picture.name = "_img_1.x";
    WideString failure;
    std::optional<ConvertedPage> page = ConvertPage(c.rtf, failure);
    if (page && !page->Pictures().empty()) {
      c.picture.format = page->Pictures()[0].format;
      c.picture.bytes = page->Pictures()[0].bytes;
    }
    RunCase(c, totals);
    ++replayed;
  }
  g_currentSeed = seed;
  PeakMemory memory;
  double growth = 0, largestRise = 0;
  uint32_t largestRiseCase = 0;
  for (uint32_t index = first; index < first + cases; ++index) {
    g_currentIndex = index;
    Case c = MakeCase(seeds, seed, index);
    if (keep) {
      if (FILE* file = std::fopen("pictures_fuzz_case.rtf", "wb")) {
        std::fwrite(c.rtf.data(), 1, c.rtf.size(), file);
        std::fclose(file);
      }
    }
    RunCase(c, totals);
    if (index + 1 == first + std::min<uint32_t>(kWarmUpCases, cases)) memory.Start();
    if (index + 1 > first + kWarmUpCases) {
      const double peak = memory.PeakSinceStart() / 1048576;
      if (peak - growth > largestRise) largestRise = peak - growth, largestRiseCase = index;
      growth = std::max(growth, peak);
    }
  }
  std::printf(
      "pictures_fuzz: %u cases of seed %u and %u kept faults, %zu seed pictures: 0 crashes, "
      "%u over %.0f s (slowest %.3f s, case %u), peak private memory %.1f MB over its size "
      "after %d cases (limit %u MB; the largest rise %.1f MB, case %u); %u pictures "
      "drawn or kept, %u left out\n",
      cases, seed, replayed, seeds.size(), totals.slow, kCaseSeconds, totals.slowest,
      totals.slowestCase, growth, kWarmUpCases, static_cast<unsigned>(kCaseMemory >> 20),
      largestRise, largestRiseCase, totals.drawn, totals.leftOut);
  return totals.slow == 0 && growth * 1048576 <= kCaseMemory ? 0 : 1;
}
