// How large a picture is drawn: the limits that reading bitmaps, playing metafiles and
// the drawing itself share.
#pragma once

// The largest picture drawn: so many pixels a side and so many in all (a 32-bit bitmap
// of 32 MB). A hostile size asks for no more; a run-length bitmap expands to no more
// pixels than this either.
constexpr int kMaxPictureSide = 8192;
constexpr long long kMaxPicturePixels = 4096LL * 2048;
