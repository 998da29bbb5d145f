// One long 8-bit text in pieces, in order: a page of many megabytes need never sit in
// one block, nor be copied into an ever larger one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "text/wide_string.h"

using BytePieces = std::vector<ByteString>;

// Takes bytes in order, as they are made; false when it could not take them, which ends
// the making.
using ByteSink = std::function<bool(std::string_view bytes)>;

// Pieces are filled to this size: the last one's spare room is nothing beside a page, and
// a page of a hundred megabytes is some two thousand pieces.
constexpr size_t kBytePieceSize = 64 * 1024;

// Appends size bytes at data, filling the last piece before starting another.
inline void AppendToPieces(BytePieces& pieces, const char* data, size_t size) {
  while (size > 0) {
    if (pieces.empty() || pieces.back().size() >= kBytePieceSize) {
      pieces.emplace_back();
      pieces.back().reserve(kBytePieceSize);
    }
    ByteString& piece = pieces.back();
    const size_t taken = std::min(size, kBytePieceSize - piece.size());
    piece.append(data, taken);
    data += taken;
    size -= taken;
  }
}

// Gives back the room the last piece has beyond what it holds (room counts as used).
inline void TrimLastPiece(BytePieces& pieces) {
  while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
  if (!pieces.empty()) pieces.back().shrink_to_fit();
}
