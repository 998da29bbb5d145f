// Rules that the converter and the plug-in's drawing share, so that they agree: a
// picture's display size from the sizes its RTF gives, and the bitmap headers taken.
// Plain C++, no Windows.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

namespace irun {

// The units of \picw and \pich: hundredths of a millimetre for metafiles, pixels for
// everything else.
enum class PictureUnits { kPixels, kHimetric };

// One side in pixels at dotsPerInch: the goal size (\picwgoal, twips) or else the picture
// size (\picw, in `units`), scaled by percent (\picscalex; 0 or less leaves it as it is)
// and rounded to the nearest pixel. 0 when the RTF gives neither size; otherwise at least
// 1 and at most INT_MAX.
inline int PictureDisplaySide(int goalTwips, int rtfSize, PictureUnits units, int percent,
                              int dotsPerInch) {
  auto rounded = [](long long a, long long b) { return (a + b / 2) / b; };
  long long side = 0;
  if (goalTwips > 0)
    side = rounded(static_cast<long long>(goalTwips) * dotsPerInch, 1440);
  else if (rtfSize > 0)
    side = units == PictureUnits::kHimetric
               ? rounded(static_cast<long long>(rtfSize) * dotsPerInch, 2540)
               : rtfSize;
  else
    return 0;
  if (percent > 0) side = rounded(side * percent, 100);
  return static_cast<int>(std::clamp(side, 1LL, static_cast<long long>(INT_MAX)));
}

// The sizes of the bitmap headers a \dibitmap may begin with: BITMAPCOREHEADER, OS/2's
// BITMAPINFOHEADER2, BITMAPINFOHEADER and its later versions.
inline bool IsDibHeaderSize(uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
         size == 124;
}

}  // namespace irun
