// The RTF reader's view of its input: a window of 64 KiB copied from the pieces the
// caller hands out, or a piece of at least that size read where it lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "irun_core.h"

namespace irun {

class RtfInput {
 public:
  RtfInput(InputReader read, void* context) : read_(read), context_(context) {}
  RtfInput(const RtfInput&) = delete;
  RtfInput& operator=(const RtfInput&) = delete;

  // Every loop over bytes asks More() rather than stopping at `end`, so that each token
  // is read the same wherever the window ends; no pointer into the window may be kept
  // across More() or Ensure(), which move it.
  bool More() { return p < end || Refill(1); }
  // Makes `bytes` bytes readable at `p`, or false when the input has fewer left.
  bool Ensure(size_t bytes) { return static_cast<size_t>(end - p) >= bytes || Refill(bytes); }
  // The input offset of `p`.
  uint64_t Read() const { return windowStart_ + static_cast<uint64_t>(p - base_); }
  // White space, then "{\rtf". Plain text needs its leading white space, so the window
  // holds all of it until the first other byte decides.
  bool StartsWithRtf();

  const char* p = nullptr;  // the next byte
  const char* end = nullptr;  // the end of what is readable now

 private:
  bool Refill(size_t bytes);
  void NextPiece();

  InputReader read_;
  void* context_;
  const char* piece_ = nullptr;  // the rest of the current piece, not yet in the window
  size_t pieceLeft_ = 0;
  bool inputEnded_ = false;
  std::vector<char> window_;    // a copy of the input from p on, or empty
  const char* base_ = nullptr;  // the window's start, or of a piece read where it lies
  uint64_t windowStart_ = 0;    // the input offset of base_
};

}  // namespace irun
