// A rich edit's RTF as one byte string, joined from the blocks the product captures it in:
// what tests search and compare.
#pragma once

#include <windows.h>

#include "convert/richedit_stream.h"
#include "text/wide_string.h"

inline ByteString CapturedRtf(HWND richEdit, RichEditPart part) {
  ByteString rtf;
  for (const SystemBlock& piece : CaptureRichEditRtfPieces(richEdit, part))
    rtf.append(piece.data(), piece.size());
  return rtf;
}
