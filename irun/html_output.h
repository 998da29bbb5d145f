// Buffered ASCII output with the escaping rules of the converter's documents.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "irun_core.h"

namespace irun {

class HtmlOutput {
 public:
  // Output goes to `sink`, or when `chunks` is given, into blocks of it. `inputSize`
  // bounds how much memory is taken in large blocks ahead of the writing.
  HtmlOutput(OutputSink sink, void* userData, HtmlChunks* chunks, size_t inputSize,
             size_t budget);
  HtmlOutput(const HtmlOutput&) = delete;
  HtmlOutput& operator=(const HtmlOutput&) = delete;

  void Raw(std::string_view text) { Write(text.data(), text.size()); }
  void Number(long long value);
  // One character of text or of an attribute value: markup characters and everything
  // outside printable ASCII as character references.
  void Escaped(uint32_t codePoint) {
    if (end_ - pos_ < kLongestEscape) NextBlock();
    if (codePoint < 0x80 && kPlain[codePoint]) {
      *pos_++ = static_cast<char>(codePoint);
      return;
    }
    EscapedReference(codePoint);
  }
  // Writes plain printable ASCII that needs no escaping.
  void PlainAscii(const char* text, size_t size) { Write(text, size); }
  static bool IsPlain(unsigned char c) { return c < 0x80 && kPlain[c]; }

  // Hands what is buffered to the sink, or closes the last block.
  void Flush();
  // True once the output has outgrown what any sane document of the input's size
  // makes; the reader then stops and only closes what is open.
  bool OverBudget() const { return written_ + static_cast<size_t>(pos_ - begin_) > budget_; }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  static constexpr ptrdiff_t kLongestEscape = 16;  // "&#1114111;" and then some
  static constexpr bool kPlain[128] = {
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // controls
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
      1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // " and &
      1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1,  // < and >
      1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
      1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
      1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
      1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0,  // DEL
  };

  void Write(const char* data, size_t size) {
    if (size <= static_cast<size_t>(end_ - pos_)) {
      std::memcpy(pos_, data, size);
      pos_ += size;
      return;
    }
    WriteAcrossBlocks(data, size);
  }
  void WriteAcrossBlocks(const char* data, size_t size);
  void EscapedReference(uint32_t codePoint);
  // Makes room: the sink takes the full buffer, or a new block is begun.
  void NextBlock();

  OutputSink sink_;
  void* userData_;
  HtmlChunks* chunks_;
  std::unique_ptr<char[]> buffer_;  // the sink's buffer
  size_t largeAllowance_;           // bytes the blocks may take in all, in large ones
  size_t allocated_ = 0;            // bytes of all blocks so far
  size_t budget_;
  size_t written_ = 0;  // bytes before the current buffer or block
  char* begin_ = nullptr;
  char* pos_ = nullptr;
  char* end_ = nullptr;
};

}  // namespace irun
