#include "picture/metafile_play.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

#include "picture/byte_fields.h"
#include "picture/device_sizes.h"
#include "picture/picture_limits.h"
#include "win/guards.h"

namespace {

constexpr size_t kEnhHeaderMinimum = 88;  // ENHMETAHEADER up to szlMillimeters
constexpr size_t kWinHeaderSize = 18;     // METAHEADER
constexpr size_t kWinRecordHead = 6;      // rdSize and rdFunction before the parameters
// Zero bytes behind the copy of each record played: a record shorter than the structure
// GDI reads it as cannot take GDI past its end.
constexpr size_t kRecordPadding = 64;
constexpr uint64_t kMaxCount = 1 << 20;  // points, characters: far more than any record needs
// How far from the picture a shape may reach, in pixels. GDI sizes its work by a shape's
// extent (an ellipse of two billion pixels takes Wine's arc code past its buffers), so
// shapes and bitmaps beyond this are left out.
constexpr long kMaxDeviceReach = 1 << 16;
// The widest pen and the largest font drawn, in pixels as drawn: GDI's work grows with a
// pen's width and with the square of a font's size (a glyph of 1024 pixels is a
// megabyte).
constexpr long kMaxStrokePixels = 1024;
// The glyph pixels one text record may draw: its characters times a glyph's square.
constexpr double kMaxTextPixels = 1 << 28;
// How long the records of one picture may play, in the thread's own time: a send draws
// on the host's thread, and a picture that takes longer is left out.
constexpr double kPlayBudgetSeconds = 0.3;

bool Refuse(WideString& failure, const char16_t* reason) {
  failure = reason;
  return false;
}

// Whether points in the current logical units stay within reach of the picture once the
// device context's transforms are applied. Works in place on points.
bool WithinReach(HDC dc, std::vector<POINT>& points) {
  if (points.empty()) return true;
  // Points far outside what any transform brings back are refused before the arithmetic.
  for (const POINT& point : points)
    if (point.x < -(1L << 27) || point.x > (1L << 27) || point.y < -(1L << 27) ||
        point.y > (1L << 27))
      return false;
  if (!LPtoDP(dc, points.data(), static_cast<int>(points.size()))) return false;
  for (const POINT& point : points)
    if (point.x < -kMaxDeviceReach || point.x > kMaxDeviceReach || point.y < -kMaxDeviceReach ||
        point.y > kMaxDeviceReach)
      return false;
  return true;
}

// A rounded corner's width and height, in logical units, within reach once transformed.
bool CornerWithinReach(HDC dc, int32_t width, int32_t height) {
  const double longer = std::fmax(std::fabs(static_cast<double>(width)),
                                   std::fabs(static_cast<double>(height)));
  return DeviceLength(dc, longer) <= kMaxDeviceReach;
}

// The selected font and pen are checked as the device context would draw them at each
// record that draws with them: records after the one that made them (transforms, map
// modes, extents) change how large they come out.

// Whether `characters` glyphs of the selected font stay within the limits: no more than
// kMaxStrokePixels a glyph, and no more than kMaxTextPixels for all of them (glyphs are
// drawn one by one, however many fall on the same place).
bool TextWithinLimits(HDC dc, uint64_t characters) {
  const double glyph = SelectedFontPixels(dc);
  return glyph <= kMaxStrokePixels &&
         static_cast<double>(characters) * glyph * glyph <= kMaxTextPixels;
}

// Whether the selected pen stays within the limits: no wider than kMaxStrokePixels, and
// its mitred corners (up to the miter limit times its width) within kMaxDeviceReach.
bool PenWithinLimits(HDC dc) {
  const double width = SelectedPenPixels(dc);
  FLOAT miter = 1;
  return GetMiterLimit(dc, &miter) && width <= kMaxStrokePixels &&
         width * std::fmax(miter, 1.0f) <= kMaxDeviceReach;
}
constexpr bool kUsesPen = true;  // a rule's record draws with the selected pen

// The time the thread has run, in seconds (the clock's where the system does not say).
double ThreadSeconds() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user))
    return static_cast<double>(GetTickCount64()) / 1000;
  auto seconds = [](const FILETIME& time) {
    return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 |
                               time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Records are played until the thread has spent kPlayBudgetSeconds on them: its own time,
// so that a busy machine does not leave out pictures it would draw when idle. Reading the
// thread's time is slow (tens of microseconds under Wine), so the clock is read at each
// record and the thread's time only once as much has passed on the clock as is left of
// the budget.
class PlayBudget {
 public:
  PlayBudget() : start_(ThreadSeconds()) { LookAfter(kPlayBudgetSeconds); }
  bool Spent() {
    if (spent_ || GetTickCount64() < look_) return spent_;
    const double left = kPlayBudgetSeconds - (ThreadSeconds() - start_);
    spent_ = left <= 0;
    if (!spent_) LookAfter(left);
    return spent_;
  }
  bool WasSpent() const { return spent_; }

 private:
  void LookAfter(double seconds) {
    look_ = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000) + 1;
  }

  double start_;
  ULONGLONG look_ = 0;  // when the thread's time is read next
  bool spent_ = false;
};

constexpr char16_t kOutOfTime[] = u"drawing it takes longer than 0.3 s";

// ---- bitmaps inside records ----

// The length of a BITMAPINFO at info as GDI takes it (header, masks, colour table), when
// it is one that can be drawn safely within available bytes: a BITMAPINFOHEADER or a later
// version, one plane, a known depth, uncompressed or with masks, RGB colours, and no more
// pixels than a drawn picture has. 0 otherwise. bitsNeeded is then the length of its bits.
size_t DibInfoLength(const BYTE* info, uint64_t available, uint32_t usage, uint64_t& bitsNeeded) {
  if (available < 40 || usage != DIB_RGB_COLORS) return 0;
  const uint32_t headerSize = Read32(info);
  const int64_t width = Signed32(info + 4), height = Signed32(info + 8);
  const int planes = Read16(info + 12), depth = Read16(info + 14);
  const uint32_t compression = Read32(info + 16), colorsUsed = Read32(info + 32);
  if ((headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
       headerSize != 124) ||
      planes != 1)
    return 0;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return 0;
  const bool masks = compression == BI_BITFIELDS && (depth == 16 || depth == 32);
  if (compression != BI_RGB && !masks) return 0;
  const int64_t rows = height < 0 ? -height : height;
  if (width <= 0 || rows == 0 || width > kMaxPictureSide * 8LL || rows > kMaxPictureSide * 8LL ||
      width * rows > kMaxPicturePixels)
    return 0;
  if (depth <= 8 && colorsUsed > (1u << depth)) return 0;
  const uint64_t colors =
      colorsUsed ? std::min<uint64_t>(colorsUsed, 256) : (depth <= 8 ? 1u << depth : 0);
  const uint64_t length =
      std::max<uint64_t>(headerSize, 40 + (masks ? 12 : 0)) + colors * sizeof(RGBQUAD);
  if (length > available) return 0;
  bitsNeeded = static_cast<uint64_t>((width * depth + 31) / 32 * 4) * static_cast<uint64_t>(rows);
  return static_cast<size_t>(length);
}

// A DIB that a record names by offsets and lengths: both parts inside the record.
bool HoldsNamedDib(const BYTE* record, uint64_t size, uint32_t infoAt, uint32_t infoBytes,
                   uint32_t bitsAt, uint32_t bitsBytes, uint32_t usage) {
  if (infoAt > size || infoBytes > size - infoAt || bitsAt > size || bitsBytes > size - bitsAt)
    return false;
  uint64_t bitsNeeded = 0;
  return DibInfoLength(record + infoAt, infoBytes, usage, bitsNeeded) != 0 &&
         bitsNeeded <= bitsBytes;
}

// ---- enhanced metafiles ----

enum class Shape {
  kFixed,         // nothing beyond its first bytes
  kPoint,         // a point at 8
  kBox,           // a shape in the rectangle at 8
  kRoundBox,      // the same with the corners' size at 24
  kAngleArc,      // an arc around the centre at 8 with the radius at 16
  kPoints,        // a count at 24, then points of 8 bytes from 28
  kPoints16,      // the same with points of 4 bytes
  kPolyPoints,    // polygons at 24, points at 28, a count a polygon from 32, then points
  kPolyPoints16,  // the same with points of 4 bytes
  kNewObject,     // makes object number (at 8) of the handle table
  kNewBrush,      // a new object that is a solid, hollow or hatched brush
  kNewPen,        // an extended pen without a pattern bitmap
  kSelect,        // selects object number (at 8) or a stock object
  kDelete,        // deletes object number (at 8)
  kText,          // wide characters and their spacing, as EMREXTTEXTOUTW lays them out
  kTextA,         // the same with single bytes
  kScale,         // numerators and denominators from 8; no denominator may be 0
  kRestore,       // a saved state (at 8) counted back from the current one: below 0
  kBlit,          // BitBlt, StretchBlt at the rectangle from 24: no bitmap, or a DIB named from 80
  kStretchDib,    // StretchDIBits: a DIB named from 48
};

struct EnhRule {
  DWORD type;
  DWORD minimum;  // bytes
  Shape shape;
  bool usesPen = false;
};

// The records that draw. Anything else (escapes, comments, colour profiles, palettes,
// regions, pattern brushes, pixel formats, OpenGL, ...) is skipped.
constexpr EnhRule kEnhRules[] = {
    {EMR_HEADER, kEnhHeaderMinimum, Shape::kFixed},
    {EMR_POLYBEZIER, 28, Shape::kPoints, kUsesPen},
    {EMR_POLYGON, 28, Shape::kPoints, kUsesPen},
    {EMR_POLYLINE, 28, Shape::kPoints, kUsesPen},
    {EMR_POLYBEZIERTO, 28, Shape::kPoints, kUsesPen},
    {EMR_POLYLINETO, 28, Shape::kPoints, kUsesPen},
    {EMR_POLYPOLYLINE, 32, Shape::kPolyPoints, kUsesPen},
    {EMR_POLYPOLYGON, 32, Shape::kPolyPoints, kUsesPen},
    {EMR_SETWINDOWEXTEX, 16, Shape::kFixed},
    {EMR_SETWINDOWORGEX, 16, Shape::kFixed},
    {EMR_SETVIEWPORTEXTEX, 16, Shape::kFixed},
    {EMR_SETVIEWPORTORGEX, 16, Shape::kFixed},
    {EMR_SETBRUSHORGEX, 16, Shape::kFixed},
    {EMR_SETMAPMODE, 12, Shape::kFixed},
    {EMR_SETBKMODE, 12, Shape::kFixed},
    {EMR_SETPOLYFILLMODE, 12, Shape::kFixed},
    {EMR_SETROP2, 12, Shape::kFixed},
    {EMR_SETSTRETCHBLTMODE, 12, Shape::kFixed},
    {EMR_SETTEXTALIGN, 12, Shape::kFixed},
    {EMR_SETTEXTCOLOR, 12, Shape::kFixed},
    {EMR_SETBKCOLOR, 12, Shape::kFixed},
    {EMR_OFFSETCLIPRGN, 16, Shape::kFixed},
    {EMR_MOVETOEX, 16, Shape::kPoint},
    {EMR_EXCLUDECLIPRECT, 24, Shape::kFixed},
    {EMR_INTERSECTCLIPRECT, 24, Shape::kFixed},
    {EMR_SCALEVIEWPORTEXTEX, 24, Shape::kScale},
    {EMR_SCALEWINDOWEXTEX, 24, Shape::kScale},
    {EMR_SAVEDC, 8, Shape::kFixed},
    {EMR_RESTOREDC, 12, Shape::kRestore},
    {EMR_SETWORLDTRANSFORM, 32, Shape::kFixed},
    {EMR_MODIFYWORLDTRANSFORM, 36, Shape::kFixed},
    {EMR_SELECTOBJECT, 12, Shape::kSelect},
    {EMR_CREATEPEN, 28, Shape::kNewObject},
    {EMR_CREATEBRUSHINDIRECT, 24, Shape::kNewBrush},
    {EMR_DELETEOBJECT, 12, Shape::kDelete},
    {EMR_ANGLEARC, 28, Shape::kAngleArc, kUsesPen},
    {EMR_ELLIPSE, 24, Shape::kBox, kUsesPen},
    {EMR_RECTANGLE, 24, Shape::kBox, kUsesPen},
    {EMR_ROUNDRECT, 32, Shape::kRoundBox, kUsesPen},
    {EMR_ARC, 40, Shape::kBox, kUsesPen},
    {EMR_CHORD, 40, Shape::kBox, kUsesPen},
    {EMR_PIE, 40, Shape::kBox, kUsesPen},
    {EMR_LINETO, 16, Shape::kPoint, kUsesPen},
    {EMR_ARCTO, 40, Shape::kBox, kUsesPen},
    {EMR_SETARCDIRECTION, 12, Shape::kFixed},
    {EMR_SETMITERLIMIT, 12, Shape::kFixed},
    {EMR_SETPIXELV, 20, Shape::kPoint},
    {EMR_BEGINPATH, 8, Shape::kFixed},
    {EMR_ENDPATH, 8, Shape::kFixed},
    {EMR_CLOSEFIGURE, 8, Shape::kFixed},
    {EMR_FILLPATH, 24, Shape::kFixed},
    {EMR_STROKEANDFILLPATH, 24, Shape::kFixed, kUsesPen},
    {EMR_STROKEPATH, 24, Shape::kFixed, kUsesPen},
    {EMR_FLATTENPATH, 8, Shape::kFixed},
    {EMR_WIDENPATH, 8, Shape::kFixed, kUsesPen},
    {EMR_SELECTCLIPPATH, 12, Shape::kFixed},
    {EMR_ABORTPATH, 8, Shape::kFixed},
    {EMR_BITBLT, 100, Shape::kBlit},
    {EMR_STRETCHBLT, 108, Shape::kBlit},
    {EMR_STRETCHDIBITS, 80, Shape::kStretchDib},
    {EMR_EXTCREATEFONTINDIRECTW, 104, Shape::kNewObject},
    {EMR_EXTTEXTOUTA, 76, Shape::kTextA},
    {EMR_EXTTEXTOUTW, 76, Shape::kText},
    {EMR_POLYBEZIER16, 28, Shape::kPoints16, kUsesPen},
    {EMR_POLYGON16, 28, Shape::kPoints16, kUsesPen},
    {EMR_POLYLINE16, 28, Shape::kPoints16, kUsesPen},
    {EMR_POLYBEZIERTO16, 28, Shape::kPoints16, kUsesPen},
    {EMR_POLYLINETO16, 28, Shape::kPoints16, kUsesPen},
    {EMR_POLYPOLYLINE16, 32, Shape::kPolyPoints16, kUsesPen},
    {EMR_POLYPOLYGON16, 32, Shape::kPolyPoints16, kUsesPen},
    {EMR_EXTCREATEPEN, 52, Shape::kNewPen},
};

const EnhRule* FindEnhRule(DWORD type) {
  for (const EnhRule& rule : kEnhRules)
    if (rule.type == type) return &rule;
  return nullptr;
}

bool IsTableObject(uint32_t index, int handles) {
  return index >= 1 && index < static_cast<uint32_t>(handles);  // 0 is the metafile itself
}

bool IsSimpleBrush(uint32_t style) {
  return style == BS_SOLID || style == BS_NULL || style == BS_HATCHED;
}

// Points (or polygons' counts and their points) that fit inside the record and stay
// within reach.
bool HoldsPolygons(HDC dc, const BYTE* r, uint64_t size, bool many, uint64_t pointBytes) {
  uint64_t count = Read32(r + 24), at = 28;
  if (count > kMaxCount || at + count * pointBytes > size) return false;
  if (many) {
    const uint64_t polygons = count;
    count = Read32(r + 28);
    at = 32 + polygons * 4;
    if (count > kMaxCount || at + count * pointBytes > size) return false;
    uint64_t total = 0;
    for (uint64_t i = 0; i < polygons; ++i) total += Read32(r + 32 + 4 * i);
    if (total > count) return false;
  }
  std::vector<POINT> points(static_cast<size_t>(count));
  for (size_t i = 0; i < points.size(); ++i, at += pointBytes) {
    points[i] = pointBytes == 8 ? POINT{Signed32(r + at), Signed32(r + at + 4)}
                                : POINT{static_cast<int16_t>(Read16(r + at)),
                                        static_cast<int16_t>(Read16(r + at + 2))};
  }
  return WithinReach(dc, points);
}

bool BoxWithinReach(HDC dc, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  for (int64_t side : {left, top, right, bottom})
    if (side < -(1LL << 27) || side > (1LL << 27)) return false;
  auto l = static_cast<LONG>(left), t = static_cast<LONG>(top);
  auto r = static_cast<LONG>(right), b = static_cast<LONG>(bottom);
  std::vector<POINT> corners = {{l, t}, {r, b}, {l, b}, {r, t}};
  return WithinReach(dc, corners);
}

bool HoldsText(const BYTE* r, uint64_t size, uint64_t charBytes) {
  const uint64_t count = Read32(r + 44), textAt = Read32(r + 48), options = Read32(r + 52);
  const uint64_t spacingAt = Read32(r + 72);
  if (count > kMaxCount) return false;
  if (count > 0 && (textAt < 76 || textAt + count * charBytes > size)) return false;
  const uint64_t spacing = count * 4 * ((options & ETO_PDY) ? 2 : 1);
  return spacingAt == 0 || (spacingAt >= 76 && spacingAt + spacing <= size);
}

// Whether a record of rule's type holds together and stays within reach.
bool FitsEnhShape(HDC dc, const EnhRule* rule, const BYTE* r, uint64_t size, int handles) {
  switch (rule->shape) {
    case Shape::kFixed:
      return true;
    case Shape::kPoint:
      return BoxWithinReach(dc, Signed32(r + 8), Signed32(r + 12), Signed32(r + 8),
                            Signed32(r + 12));
    case Shape::kBox:
      return BoxWithinReach(dc, Signed32(r + 8), Signed32(r + 12), Signed32(r + 16),
                            Signed32(r + 20));
    case Shape::kRoundBox:
      return BoxWithinReach(dc, Signed32(r + 8), Signed32(r + 12), Signed32(r + 16),
                            Signed32(r + 20)) &&
             CornerWithinReach(dc, Signed32(r + 24), Signed32(r + 28));
    case Shape::kAngleArc: {
      const int64_t x = Signed32(r + 8), y = Signed32(r + 12), radius = Read32(r + 16);
      return BoxWithinReach(dc, x - radius, y - radius, x + radius, y + radius);
    }
    case Shape::kPoints:
      return HoldsPolygons(dc, r, size, false, 8);
    case Shape::kPoints16:
      return HoldsPolygons(dc, r, size, false, 4);
    case Shape::kPolyPoints:
      return HoldsPolygons(dc, r, size, true, 8);
    case Shape::kPolyPoints16:
      return HoldsPolygons(dc, r, size, true, 4);
    case Shape::kNewObject:
      return IsTableObject(Read32(r + 8), handles);
    case Shape::kNewBrush:
      return IsTableObject(Read32(r + 8), handles) && IsSimpleBrush(Read32(r + 12));
    case Shape::kNewPen: {
      const uint64_t entries = Read32(r + 48);
      return IsTableObject(Read32(r + 8), handles) && Read32(r + 16) == 0 && Read32(r + 24) == 0 &&
             IsSimpleBrush(Read32(r + 36)) && entries <= 16 && 52 + 4 * entries <= size;
    }
    case Shape::kSelect: {
      const uint32_t index = Read32(r + 8);
      return (index & 0x80000000u) ? (index & 0x7FFFFFFFu) <= STOCK_LAST
                                   : IsTableObject(index, handles);
    }
    case Shape::kDelete:
      return IsTableObject(Read32(r + 8), handles);
    case Shape::kText:
      return HoldsText(r, size, 2) && TextWithinLimits(dc, Read32(r + 44));
    case Shape::kTextA:
      return HoldsText(r, size, 1) && TextWithinLimits(dc, Read32(r + 44));
    case Shape::kScale:
      return Read32(r + 12) != 0 && Read32(r + 20) != 0;
    case Shape::kRestore:  // Wine takes the magnitude of the count, which -2^31 has none of
      return Signed32(r + 8) < 0 && Signed32(r + 8) > INT32_MIN;
    case Shape::kBlit:
      if (!BoxWithinReach(dc, Signed32(r + 24), Signed32(r + 28),
                          int64_t{Signed32(r + 24)} + Signed32(r + 32),
                          int64_t{Signed32(r + 28)} + Signed32(r + 36)))
        return false;
      if (Read32(r + 84) == 0 && Read32(r + 88) == 0) return true;  // a fill, no bitmap
      return HoldsNamedDib(r, size, Read32(r + 84), Read32(r + 88), Read32(r + 92), Read32(r + 96),
                           Read32(r + 80));
    case Shape::kStretchDib:
      return BoxWithinReach(dc, Signed32(r + 24), Signed32(r + 28),
                            int64_t{Signed32(r + 24)} + Signed32(r + 72),
                            int64_t{Signed32(r + 28)} + Signed32(r + 76)) &&
             HoldsNamedDib(r, size, Read32(r + 48), Read32(r + 52), Read32(r + 56), Read32(r + 60),
                           Read32(r + 64));
  }
  return false;
}

// Whether a record of an enhanced metafile with `handles` objects may reach GDI.
bool AllowEnhRecord(HDC dc, const BYTE* r, uint64_t size, int handles) {
  const EnhRule* rule = FindEnhRule(Read32(r));
  return rule && size >= rule->minimum && FitsEnhShape(dc, rule, r, size, handles) &&
         (!rule->usesPen || PenWithinLimits(dc));
}

// The length of a whole enhanced metafile whose header holds together: the signature,
// a header record inside the file, a description inside the header, as many records as
// it says in four-byte multiples up to an end record at the size it gives, at least one
// handle, a frame that is not empty and a reference device of likely proportions. 0
// otherwise.
size_t EnhancedMetafileLength(const ByteString& bytes, int& handles) {
  const BYTE* b = Bytes(bytes);
  if (bytes.size() < kEnhHeaderMinimum || Read32(b) != EMR_HEADER ||
      Read32(b + 40) != ENHMETA_SIGNATURE)
    return 0;
  const uint64_t length = Read32(b + 48), headerSize = Read32(b + 4);
  const uint64_t descriptionChars = Read32(b + 60), descriptionAt = Read32(b + 64);
  handles = Read16(b + 56);
  if (length > bytes.size() || headerSize < kEnhHeaderMinimum || headerSize > length || handles < 1)
    return 0;
  if (descriptionChars > 0 &&
      (descriptionAt < kEnhHeaderMinimum || descriptionAt + descriptionChars * 2 > headerSize))
    return 0;
  if (Signed32(b + 32) <= Signed32(b + 24) || Signed32(b + 36) <= Signed32(b + 28) ||
      Signed32(b + 72) <= 0 || Signed32(b + 76) <= 0 || Signed32(b + 80) <= 0 ||
      Signed32(b + 84) <= 0)
    return 0;
  // The reference device's dots a millimetre, across and down: alike (GDI scales by
  // them, and a device of 1280 x 4 dots on a screen's millimetres asked for 94 MB) and
  // within what screens and printers have.
  const double across = static_cast<double>(Signed32(b + 72)) / Signed32(b + 80);
  const double down = static_cast<double>(Signed32(b + 76)) / Signed32(b + 84);
  if (across < 0.1 || across > 1000 || down < 0.1 || down > 1000 || across > 4 * down ||
      down > 4 * across)
    return 0;
  uint64_t at = 0, records = 0;
  while (at + 8 <= length) {
    const uint32_t type = Read32(b + at), size = Read32(b + at + 4);
    if (size < 8 || size % 4 != 0 || size > length - at) return 0;
    at += size;
    ++records;
    if (type == EMR_EOF) break;
    if (at == length) return 0;
  }
  return at == length && records == Read32(b + 52) ? static_cast<size_t>(length) : 0;
}

// A record as GDI gets it: a copy with zero bytes behind it.
class RecordCopy {
 public:
  const BYTE* Of(const BYTE* record, size_t size) {
    buffer_.assign((size + kRecordPadding) / sizeof(DWORD) + 1, 0);
    std::memcpy(buffer_.data(), record, size);
    return reinterpret_cast<const BYTE*>(buffer_.data());
  }

 private:
  std::vector<DWORD> buffer_;  // DWORD-aligned, as records are
};

struct EnhPlay {
  int handles = 0;
  RecordCopy copy;
  PlayBudget budget;
};

int CALLBACK PlayEnhRecord(HDC dc, HANDLETABLE* table, const ENHMETARECORD* record, int objects,
                           LPARAM context) {
  auto& play = *reinterpret_cast<EnhPlay*>(context);
  if (play.budget.Spent()) return 0;
  const auto* r = reinterpret_cast<const BYTE*>(record);
  const size_t size = record->nSize;
  if (AllowEnhRecord(dc, r, size, std::min(play.handles, objects)))
    PlayEnhMetaFileRecord(dc, table, reinterpret_cast<const ENHMETARECORD*>(play.copy.Of(r, size)),
                          static_cast<UINT>(objects));
  return 1;  // one record's failure leaves the rest to draw
}

// ---- Windows metafiles ----

enum class WinShape {
  kFixed,
  kPoint,       // a point: y, x
  kBox,         // a shape in the rectangle from parameter `at` (bottom, right, top, left)
  kPoints,      // a count, then so many points
  kPolyPoints,  // polygons, a count each, then their points
  kText,        // META_TEXTOUT: a count, the text, y and x
  kExtText,     // META_EXTTEXTOUT: y, x, count, options, a rectangle if they say so, text
  kScale,       // denominators as the first and third parameters; none may be 0
  kSelect,      // an object of the table that is there
  kDelete,      // the same
  kNewObject,   // a pen or font for the first free place of the table
  kNewBrush,    // a solid, hollow or hatched brush for the first free place
  kStretchDib,  // META_STRETCHDIB: usage as the third parameter, a DIB from the 12th
  kDibBlit,     // META_DIBSTRETCHBLT, META_DIBBITBLT: a DIB after `at` parameters
};
// Bitmap records: the destination's height, width, y and x are the four parameters
// before the DIB.

struct WinRule {
  WORD function;
  WORD parameters;  // at least so many words
  WinShape shape;
  WORD at = 0;
  bool usesPen = false;
};

constexpr WinRule kWinRules[] = {
    {META_SETBKCOLOR, 2, WinShape::kFixed},
    {META_SETBKMODE, 1, WinShape::kFixed},
    {META_SETMAPMODE, 1, WinShape::kFixed},
    {META_SETROP2, 1, WinShape::kFixed},
    {META_SETPOLYFILLMODE, 1, WinShape::kFixed},
    {META_SETSTRETCHBLTMODE, 1, WinShape::kFixed},
    {META_SETTEXTCHAREXTRA, 1, WinShape::kFixed},
    {META_SETTEXTCOLOR, 2, WinShape::kFixed},
    {META_SETTEXTJUSTIFICATION, 2, WinShape::kFixed},
    {META_SETWINDOWORG, 2, WinShape::kFixed},
    {META_SETWINDOWEXT, 2, WinShape::kFixed},
    {META_SETVIEWPORTORG, 2, WinShape::kFixed},
    {META_SETVIEWPORTEXT, 2, WinShape::kFixed},
    {META_OFFSETWINDOWORG, 2, WinShape::kFixed},
    {META_SCALEWINDOWEXT, 4, WinShape::kScale},
    {META_OFFSETVIEWPORTORG, 2, WinShape::kFixed},
    {META_SCALEVIEWPORTEXT, 4, WinShape::kScale},
    {META_LINETO, 2, WinShape::kPoint, 0, kUsesPen},
    {META_MOVETO, 2, WinShape::kPoint},
    {META_EXCLUDECLIPRECT, 4, WinShape::kFixed},
    {META_INTERSECTCLIPRECT, 4, WinShape::kFixed},
    {META_ARC, 8, WinShape::kBox, 4, kUsesPen},
    {META_ELLIPSE, 4, WinShape::kBox, 0, kUsesPen},
    {META_PIE, 8, WinShape::kBox, 4, kUsesPen},
    {META_RECTANGLE, 4, WinShape::kBox, 0, kUsesPen},
    {META_ROUNDRECT, 6, WinShape::kBox, 2, kUsesPen},
    {META_PATBLT, 6, WinShape::kFixed},
    {META_SAVEDC, 0, WinShape::kFixed},
    {META_SETPIXEL, 4, WinShape::kFixed},
    {META_TEXTOUT, 1, WinShape::kText},
    {META_POLYGON, 1, WinShape::kPoints, 0, kUsesPen},
    {META_POLYLINE, 1, WinShape::kPoints, 0, kUsesPen},
    {META_RESTOREDC, 1, WinShape::kFixed},
    {META_CHORD, 8, WinShape::kBox, 4, kUsesPen},
    {META_SETTEXTALIGN, 1, WinShape::kFixed},
    {META_EXTTEXTOUT, 4, WinShape::kExtText},
    {META_POLYPOLYGON, 1, WinShape::kPolyPoints, 0, kUsesPen},
    {META_SELECTOBJECT, 1, WinShape::kSelect},
    {META_DELETEOBJECT, 1, WinShape::kDelete},
    {META_CREATEPENINDIRECT, 5, WinShape::kNewObject},
    {META_CREATEFONTINDIRECT, 9, WinShape::kNewObject},
    {META_CREATEBRUSHINDIRECT, 4, WinShape::kNewBrush},
    {META_STRETCHDIB, 11, WinShape::kStretchDib, 11},
    {META_DIBSTRETCHBLT, 10, WinShape::kDibBlit, 10},
    {META_DIBBITBLT, 8, WinShape::kDibBlit, 8},
};

// Records that make an object for the table but are not drawn here: a hollow brush takes
// their place, so that later records find the objects they name where GDI put them.
bool MakesOtherObject(WORD function) {
  return function == META_CREATEPALETTE || function == META_CREATEPATTERNBRUSH ||
         function == META_DIBCREATEPATTERNBRUSH || function == META_CREATEREGION ||
         function == 0x00F8 /* brush */ || function == 0x06FE /* bitmap */ ||
         function == 0x02FD /* bitmap indirect */;
}

const WinRule* FindWinRule(WORD function) {
  for (const WinRule& rule : kWinRules)
    if (rule.function == function) return &rule;
  return nullptr;
}

struct WinPlay {
  std::vector<bool> used;  // the places of the object table GDI has filled
  RecordCopy copy;
  PlayBudget budget;

  int FirstFree() const {
    for (size_t i = 0; i < used.size(); ++i)
      if (!used[i]) return static_cast<int>(i);
    return -1;
  }
  bool IsObject(uint32_t index) const { return index < used.size() && used[index]; }
};

// Points of 16-bit coordinates from parameter `at` of a record, within reach.
bool WinPointsWithinReach(HDC dc, const BYTE* r, uint64_t at, uint64_t count) {
  std::vector<POINT> points(static_cast<size_t>(count));
  const BYTE* from = r + kWinRecordHead + 2 * at;
  for (size_t i = 0; i < points.size(); ++i, from += 4)
    points[i] = POINT{static_cast<int16_t>(Read16(from)), static_cast<int16_t>(Read16(from + 2))};
  return WithinReach(dc, points);
}

// Whether a record of rule's function (size in bytes, `words` parameters) holds together
// and stays within reach.
bool FitsWinShape(HDC dc, const WinRule* rule, const BYTE* r, uint64_t size, uint64_t words,
                  const WinPlay& play) {
  auto p = [r](uint64_t i) -> uint64_t { return Read16(r + kWinRecordHead + 2 * i); };
  auto signedP = [r](uint64_t i) -> int64_t {
    return static_cast<int16_t>(Read16(r + kWinRecordHead + 2 * i));
  };
  switch (rule->shape) {
    case WinShape::kFixed:
      return true;
    case WinShape::kPoint:
      return BoxWithinReach(dc, signedP(1), signedP(0), signedP(1), signedP(0));
    case WinShape::kBox:
      return BoxWithinReach(dc, signedP(rule->at + 3), signedP(rule->at + 2), signedP(rule->at + 1),
                            signedP(rule->at));
    case WinShape::kPoints:
      return p(0) <= 0x7FFF && 1 + 2 * p(0) <= words && WinPointsWithinReach(dc, r, 1, p(0));
    case WinShape::kPolyPoints: {
      const uint64_t polygons = p(0);
      if (polygons > 0x7FFF || 1 + polygons > words) return false;
      uint64_t points = 0;
      for (uint64_t i = 1; i <= polygons; ++i) {
        if (p(i) > 0x7FFF) return false;
        points += p(i);
      }
      return 1 + polygons + 2 * points <= words &&
             WinPointsWithinReach(dc, r, 1 + polygons, points);
    }
    case WinShape::kText:
      return p(0) <= 0x7FFF && 1 + (p(0) + 1) / 2 + 2 <= words && TextWithinLimits(dc, p(0));
    case WinShape::kExtText: {
      const uint64_t rectangle = (p(3) & (ETO_OPAQUE | ETO_CLIPPED)) ? 4 : 0;
      return p(2) <= 0x7FFF && 4 + rectangle + (p(2) + 1) / 2 <= words &&
             TextWithinLimits(dc, p(2));
    }
    case WinShape::kScale:
      return p(0) != 0 && p(2) != 0;
    case WinShape::kSelect:
    case WinShape::kDelete:
      return play.IsObject(static_cast<uint32_t>(p(0)));
    case WinShape::kNewObject:
      return true;
    case WinShape::kNewBrush:
      return IsSimpleBrush(static_cast<uint32_t>(p(0)));
    case WinShape::kStretchDib:
    case WinShape::kDibBlit: {
      // Only the variants with a bitmap: those without one are fills, left out.
      const uint64_t usage = rule->shape == WinShape::kStretchDib ? p(2) : DIB_RGB_COLORS;
      const uint64_t dibAt = kWinRecordHead + 2ull * rule->at;
      const int64_t x = signedP(rule->at - 1), y = signedP(rule->at - 2);
      if (!BoxWithinReach(dc, x, y, x + signedP(rule->at - 3), y + signedP(rule->at - 4)))
        return false;
      if (size <= dibAt) return false;
      uint64_t bitsNeeded = 0;
      const size_t info =
          DibInfoLength(r + dibAt, size - dibAt, static_cast<uint32_t>(usage), bitsNeeded);
      return info != 0 && bitsNeeded <= size - dibAt - info;
    }
  }
  return false;
}

// Whether a record (size in bytes) may reach GDI.
bool AllowWinRecord(HDC dc, const BYTE* r, uint64_t size, const WinPlay& play) {
  const WinRule* rule = FindWinRule(Read16(r + 4));
  const uint64_t words = (size - kWinRecordHead) / 2;
  return rule && words >= rule->parameters && FitsWinShape(dc, rule, r, size, words, play) &&
         (!rule->usesPen || PenWithinLimits(dc));
}

// Notes where GDI puts an object made or freed by a record that is played.
void TrackObjects(WORD function, const BYTE* r, WinPlay& play) {
  const WinRule* rule = FindWinRule(function);
  if (rule && rule->shape == WinShape::kDelete) {
    play.used[Read16(r + kWinRecordHead)] = false;
  } else if (MakesOtherObject(function) || (rule && (rule->shape == WinShape::kNewObject ||
                                                     rule->shape == WinShape::kNewBrush))) {
    const int free = play.FirstFree();
    if (free >= 0) play.used[static_cast<size_t>(free)] = true;
  }
}

// A hollow brush: the stand-in for objects that are not made here.
const WORD kHollowBrush[] = {7, 0, META_CREATEBRUSHINDIRECT, BS_NULL, 0, 0, 0};

int CALLBACK PlayWinRecord(HDC dc, HANDLETABLE* table, METARECORD* record, int objects,
                           LPARAM context) {
  auto& play = *reinterpret_cast<WinPlay*>(context);
  if (play.budget.Spent()) return 0;
  const auto* r = reinterpret_cast<const BYTE*>(record);
  const uint64_t size = static_cast<uint64_t>(record->rdSize) * 2;
  const WORD function = record->rdFunction;
  if (size < kWinRecordHead || static_cast<size_t>(objects) != play.used.size()) return 0;
  const BYTE* played = nullptr;
  if (MakesOtherObject(function))
    played = reinterpret_cast<const BYTE*>(kHollowBrush);
  else if (AllowWinRecord(dc, r, size, play))
    played = play.copy.Of(r, static_cast<size_t>(size));
  if (!played) return 1;
  PlayMetaFileRecord(dc, table,
                     const_cast<METARECORD*>(reinterpret_cast<const METARECORD*>(played)),
                     static_cast<UINT>(objects));
  TrackObjects(function, r, play);
  return 1;
}

// The length of a Windows metafile whose header holds together: memory or disk type, a
// header of nine words, a known version, records whose sizes (in words) stay inside the
// data up to the end record, and a size in the header that is that length. 0 otherwise.
size_t WindowsMetafileLength(const ByteString& bytes) {
  const BYTE* b = Bytes(bytes);
  if (bytes.size() < kWinHeaderSize) return 0;
  const uint16_t type = Read16(b), version = Read16(b + 4);
  if ((type != 1 && type != 2) || Read16(b + 2) != kWinHeaderSize / 2 ||
      (version != 0x0100 && version != 0x0300))
    return 0;
  size_t at = kWinHeaderSize;
  while (at + kWinRecordHead <= bytes.size()) {
    const uint64_t size = static_cast<uint64_t>(Read32(b + at)) * 2;
    const uint16_t function = Read16(b + at + 4);
    if (size < kWinRecordHead || size > bytes.size() - at) return 0;
    at += static_cast<size_t>(size);
    if (function == 0) return static_cast<uint64_t>(Read32(b + 6)) * 2 == at ? at : 0;  // META_EOF
  }
  return 0;
}

// Fewer pixels than this, and a metafile is played at this many and shrunk: Wine strokes
// paths drawn very small very slowly (a second and more).
constexpr double kLeastPlayedPixels = 256.0 * 256;

// The size in pixels, as many as width x height (at least kLeastPlayedPixels), at which
// a frame of frameWidth x frameHeight keeps its proportions.
SIZE UniformSize(int width, int height, double frameWidth, double frameHeight) {
  const double pixels = std::max(static_cast<double>(width) * height, kLeastPlayedPixels);
  const double side = std::sqrt(pixels * frameWidth / frameHeight);
  const LONG w = static_cast<LONG>(std::clamp(side, 1.0, static_cast<double>(kMaxPictureSide)));
  const LONG h = static_cast<LONG>(
      std::clamp(pixels / std::max(side, 1.0), 1.0, static_cast<double>(kMaxPictureSide)));
  return SIZE{w, h};
}

bool EnumerateInto(HDC dc, HENHMETAFILE metafile, EnhPlay& play, int width, int height) {
  RECT area{0, 0, width, height};
  return EnumEnhMetaFile(dc, metafile, PlayEnhRecord, &play, &area) != FALSE;
}

}  // namespace

bool PlayEnhancedMetafile(HDC dc, const ByteString& bytes, int width, int height,
                          WideString& failure) {
  EnhPlay play;
  const size_t length = EnhancedMetafileLength(bytes, play.handles);
  if (length == 0) return Refuse(failure, u"the enhanced metafile is broken");
  UniqueEnhMetafile metafile(SetEnhMetaFileBits(static_cast<UINT>(length), Bytes(bytes)));
  if (!metafile) return Refuse(failure, u"Windows does not take the data as a metafile");
  // Stretched out of its proportions, a metafile's paths take Wine seconds to fill: it is
  // played in proportion, as many pixels as asked for, and its pixels are stretched. The
  // same for a very small picture, played larger.
  const BYTE* b = Bytes(bytes);
  const double frameWidth = static_cast<double>(Signed32(b + 32)) - Signed32(b + 24);
  const double frameHeight = static_cast<double>(Signed32(b + 36)) - Signed32(b + 28);
  const double stretch = (width / frameWidth) / (height / frameHeight);
  if (stretch > 0.99 && stretch < 1.01 &&
      static_cast<double>(width) * height >= kLeastPlayedPixels) {
    const bool played = EnumerateInto(dc, metafile.get(), play, width, height);
    if (play.budget.WasSpent()) return Refuse(failure, kOutOfTime);
    if (!played) return Refuse(failure, u"the metafile cannot be played");
    return true;
  }
  const SIZE size = UniformSize(width, height, frameWidth, frameHeight);
  UniqueDc memory(CreateCompatibleDC(dc));
  UniqueBitmap bitmap(memory ? CreateCompatibleBitmap(dc, size.cx, size.cy) : nullptr);
  if (!bitmap) return Refuse(failure, u"no bitmap can be made to play the metafile in");
  bool played;
  {
    UniqueSelection selected(memory.get(), bitmap.get());
    RECT all{0, 0, size.cx, size.cy};
    FillRect(memory.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    played = EnumerateInto(memory.get(), metafile.get(), play, size.cx, size.cy);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    played = played &&
             StretchBlt(dc, 0, 0, width, height, memory.get(), 0, 0, size.cx, size.cy, SRCCOPY);
  }
  if (play.budget.WasSpent()) return Refuse(failure, kOutOfTime);
  if (!played) return Refuse(failure, u"the metafile cannot be played");
  return true;
}

bool PlayWindowsMetafile(HDC dc, const ByteString& bytes, int mappingMode, int width, int height,
                         WideString& failure) {
  const size_t length = WindowsMetafileLength(bytes);
  if (length == 0) return Refuse(failure, u"the Windows metafile is broken");
  WinPlay play;
  play.used.assign(Read16(Bytes(bytes) + 10), false);
  UniqueMetafile metafile(SetMetaFileBitsEx(static_cast<UINT>(length), Bytes(bytes)));
  if (!metafile) return Refuse(failure, u"Windows does not take the data as a metafile");
  // \wmetafile without a number means MM_TEXT; anything out of range is taken as the
  // scalable mode that rich edit writes. The scalable modes fill the area: the metafile
  // sets its window, the area is the viewport (a window of the area's size until then).
  const int mode =
      mappingMode >= MM_TEXT && mappingMode <= MM_ANISOTROPIC ? mappingMode : MM_ANISOTROPIC;
  if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, width, height, nullptr);
    SetViewportExtEx(dc, width, height, nullptr);
  } else {
    SetMapMode(dc, mode);
  }
  const BOOL played =
      EnumMetaFile(dc, metafile.get(), PlayWinRecord, reinterpret_cast<LPARAM>(&play));
  SetMapMode(dc, MM_TEXT);
  if (play.budget.WasSpent()) return Refuse(failure, kOutOfTime);
  if (!played) return Refuse(failure, u"the metafile cannot be played");
  return true;
}
