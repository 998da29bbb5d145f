// PNG files read back with WIC, for the picture tests to check sizes and pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "text/wide_string.h"

struct Decoded {
  UINT width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB
  uint32_t At(UINT x, UINT y) const { return pixels[y * width + x] & 0xFFFFFF; }
};

// The PNG decoded by WIC, converted to 32-bit BGRA; empty when it is no PNG.
Decoded DecodePng(const ByteString& png);
