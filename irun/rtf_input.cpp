#include "rtf_input.h"

#include <algorithm>
#include <cstring>

namespace irun {

namespace {

// Small pieces of the input are copied into a window of this size as it is read, so
// that none need stay valid for long and no copy of the whole input is kept; pieces at
// least this large are read where they lie.
constexpr size_t kWindowSize = 64 * 1024;

}  // namespace

// Asks for the next piece, once the last one has been read or copied whole.
void RtfInput::NextPiece() {
  pieceLeft_ = inputEnded_ ? 0 : read_(context_, &piece_);
  if (pieceLeft_ == 0 || !piece_) {
    pieceLeft_ = 0;
    inputEnded_ = true;
  }
}

// Makes `bytes` bytes readable at p, or as many as the input has left. A piece of at
// least a window's size is read where it lies: it stays valid until the next piece is
// asked for, and what is left of it then is copied first. Otherwise what is left is
// moved to the window's start and the rest filled from the pieces. The window only
// grows beyond its size for the white space that may come before "{\rtf".
bool RtfInput::Refill(size_t bytes) {
  const size_t kept = static_cast<size_t>(end - p);
  windowStart_ = Read();
  if (kept == 0 && bytes <= kWindowSize) {
    if (pieceLeft_ == 0) NextPiece();
    if (pieceLeft_ >= kWindowSize) {
      base_ = p = piece_;
      end = piece_ + pieceLeft_;
      piece_ += pieceLeft_;
      pieceLeft_ = 0;
      return true;
    }
  }
  size_t size = std::max(kWindowSize, bytes);
  if (bytes > window_.size()) size = std::max(size, window_.size() * 2);  // grows seldom
  if (window_.size() != size && kept <= size) {
    std::vector<char> resized(size);  // larger, or back to its size after white space
    if (kept > 0) std::memcpy(resized.data(), p, kept);
    window_.swap(resized);
  } else if (kept > 0) {
    std::memmove(window_.data(), p, kept);
  }
  size_t filled = kept;
  while (filled < window_.size() && !inputEnded_) {
    if (pieceLeft_ == 0) {
      NextPiece();
      continue;
    }
    const size_t part = std::min(pieceLeft_, window_.size() - filled);
    std::memcpy(window_.data() + filled, piece_, part);
    piece_ += part;
    pieceLeft_ -= part;
    filled += part;
  }
  base_ = p = window_.data();
  end = p + filled;
  return filled >= bytes;
}

bool RtfInput::StartsWithRtf() {
  size_t i = 0;
  while (Ensure(i + 1) && (p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n')) ++i;
  return Ensure(i + 5) && std::memcmp(p + i, "{\\rtf", 5) == 0;
}

}  // namespace irun
