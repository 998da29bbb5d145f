#include "picture/picture_size.h"

#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "irun/picture_rules.h"
#include "picture/byte_fields.h"

namespace {

constexpr long long kHimetricPerInch = 2540;
constexpr long long kScreenDpi = 96;

// a / b rounded to the nearest whole number, for non-negative a and positive b.
long long RoundedDivide(long long a, long long b) { return (a + b / 2) / b; }

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
