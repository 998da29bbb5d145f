// Pixels encoded as PNG with Windows' own codecs (WIC). Windows only.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Encodes width x height top-down 32-bit BGRX pixels as a 24-bit PNG (no alpha) into
// png. False with failure (a plain reason for the log) when COM or the encoder fails;
// png is left alone then. Runs COM on the calling thread for the call, in whichever
// apartment the thread already has.
bool EncodePng(const BYTE* pixels, int width, int height, ByteString& png, WideString& failure);
