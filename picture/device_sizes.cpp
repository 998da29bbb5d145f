#include "picture/device_sizes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The linear part of the mapping from logical units to pixels: a logical (x, y) moves
// by (x * xx + y * yx, x * xy + y * yy).
struct LinearMap {
  double xx, xy, yx, yy;
};

LinearMap CurrentMap(HDC dc) {
  XFORM world{1, 0, 0, 1, 0, 0};
  GetWorldTransform(dc, &world);
  SIZE window{1, 1}, viewport{1, 1};
  GetWindowExtEx(dc, &window);
  GetViewportExtEx(dc, &viewport);
  // GDI refuses extents of 0; the quotient stays finite for whatever it holds.
  const double sx = window.cx ? static_cast<double>(viewport.cx) / window.cx : 1;
  const double sy = window.cy ? static_cast<double>(viewport.cy) / window.cy : 1;
  return LinearMap{world.eM11 * sx, world.eM12 * sy, world.eM21 * sx, world.eM22 * sy};
}

}  // namespace

double DeviceLength(HDC dc, double length) {
  const LinearMap m = CurrentMap(dc);
  const double alongX = std::hypot(length * m.xx, length * m.xy);
  const double alongY = std::hypot(length * m.yx, length * m.yy);
  return std::isnan(alongX) || std::isnan(alongY) ? HUGE_VAL : std::fmax(alongX, alongY);
}

double SelectedFontPixels(HDC dc) {
  LOGFONTW font{};
  if (GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font) == 0) return HUGE_VAL;
  const double height = font.lfHeight ? std::fabs(static_cast<double>(font.lfHeight))
                                      : kDefaultFontHeight;
  const double width = font.lfWidth ? std::fabs(static_cast<double>(font.lfWidth)) : height;
  return DeviceLength(dc, std::fmax(height, width));
}

double SelectedPenPixels(HDC dc) {
  HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
  const int size = GetObjectW(pen, 0, nullptr);
  if (size == static_cast<int>(sizeof(LOGPEN))) {
    LOGPEN plain{};
    if (GetObjectW(pen, sizeof(plain), &plain) == 0) return HUGE_VAL;
    if (plain.lopnStyle == PS_NULL) return 0;
    return DeviceLength(dc, std::fabs(static_cast<double>(plain.lopnWidth.x)));
  }
  if (size < static_cast<int>(offsetof(EXTLOGPEN, elpStyleEntry))) return HUGE_VAL;
  std::vector<uint64_t> buffer((static_cast<size_t>(size) + 7) / 8 + 1);  // aligned
  if (GetObjectW(pen, size, buffer.data()) == 0) return HUGE_VAL;
  const auto* extended = reinterpret_cast<const EXTLOGPEN*>(buffer.data());
  if ((extended->elpPenStyle & PS_STYLE_MASK) == PS_NULL ||
      (extended->elpPenStyle & PS_TYPE_MASK) == PS_COSMETIC)
    return 0;
  return DeviceLength(dc, static_cast<double>(extended->elpWidth));
}
