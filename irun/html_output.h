// Buffered ASCII output with the escaping rules of the converter's documents.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "html_chunks.h"
#include "irun_types.h"

namespace irun {

// The one escaping rule of the converter's documents, for text and attribute values
// alike: printable ASCII other than markup characters stays as it is; "<", ">", "&"
// and double quotes become named references, everything else a numeric one.
constexpr size_t kLongestEscape = 16;  // "&#1114111;" and then some
inline constexpr bool kPlainAscii[128] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // controls
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
    1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // " and &
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1,  // < and >
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0,  // DEL
};
inline bool IsPlainAscii(uint32_t c) { return c < 0x80 && kPlainAscii[c]; }

// Writes the escaped form of `codePoint` (at most kLongestEscape bytes) at `out` and
// returns the end of it.
char* EscapeCodePoint(uint32_t codePoint, char* out);

// Appends the escaped form of `codePoint` to `text`.
void AppendEscaped(std::string& text, uint32_t codePoint);

class HtmlOutput {
 public:
  // Output goes to `sink`, or when `chunks` is given, into blocks of it. `inputSize`,
  // when known (0 otherwise), bounds how much memory is taken in large blocks ahead of
  // the writing.
  HtmlOutput(OutputSink sink, void* userData, HtmlChunks* chunks, size_t inputSize);
  HtmlOutput(const HtmlOutput&) = delete;
  HtmlOutput& operator=(const HtmlOutput&) = delete;

  void Raw(std::string_view text) { Write(text.data(), text.size()); }
  void Number(long long value);
  // One character of text or of an attribute value: markup characters and everything
  // outside printable ASCII as character references.
  void Escaped(uint32_t codePoint) {
    if (end_ - pos_ < static_cast<ptrdiff_t>(kLongestEscape)) NextBlock();
    if (IsPlainAscii(codePoint)) {
      *pos_++ = static_cast<char>(codePoint);
      return;
    }
    pos_ = EscapeCodePoint(codePoint, pos_);
  }
  // Writes plain printable ASCII that needs no escaping.
  void PlainAscii(const char* text, size_t size) { Write(text, size); }

  // Hands what is buffered to the sink, or closes the last block.
  void Flush();

  // The offset of the next byte in the whole output.
  uint64_t Offset() const { return written_ + static_cast<uint64_t>(pos_ - begin_); }
  // Keeps the output from offset `from` on where Rewrite can change it, for as long as
  // it is at most kKeepLimit bytes; a longer stretch is let go. Whether a stretch can be
  // rewritten so depends on its length alone, never on where a buffer or block ends,
  // so every way of writing the output gives the same document.
  static constexpr size_t kKeepLimit = 16 * 1024;
  void Keep(uint64_t from) { keepFrom_ = from; }
  void LetGo() { keepFrom_ = kNothingKept; }
  // Replaces the `size` bytes at offset `at` by `text`. Only where Keep(at or before)
  // holds and what follows `at` is at most kKeepLimit bytes; false otherwise.
  bool Rewrite(uint64_t at, size_t size, std::string_view text);
  // True once the output has outgrown what any sane document makes of the `inputRead`
  // bytes of input read so far; the reader then stops and only closes what is open.
  // Measured against the input read, not its whole size, so that the point where a
  // hostile document stops does not depend on how its input arrives.
  bool OverBudget(uint64_t inputRead) {
    inputRead_ = inputRead;
    return written_ + static_cast<uint64_t>(pos_ - begin_) > inputRead * 64 + (1u << 20);
  }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  void Write(const char* data, size_t size) {
    if (size <= static_cast<size_t>(end_ - pos_)) {
      std::memcpy(pos_, data, size);
      pos_ += size;
      return;
    }
    WriteAcrossBlocks(data, size);
  }
  static constexpr uint64_t kNothingKept = ~uint64_t{0};
  void WriteAcrossBlocks(const char* data, size_t size);
  // The bytes from keepFrom_ on that must move along to the next buffer or block.
  size_t KeptBytes();
  // Makes room: the sink takes the full buffer, more of a block is committed, or a new
  // block is begun.
  void NextBlock();
  bool LargeBlockAllowed() const;

  OutputSink sink_;
  void* userData_;
  HtmlChunks* chunks_;
  std::unique_ptr<char[]> buffer_;  // the sink's buffer
  size_t inputSize_;                // 0 when the input comes in pieces
  uint64_t inputRead_ = 0;          // as the reader last told
  size_t allocated_ = 0;            // bytes of all blocks so far
  uint64_t written_ = 0;  // bytes before the current buffer or block
  char* begin_ = nullptr;
  char* pos_ = nullptr;
  char* end_ = nullptr;       // the end of what may be written now
  char* blockEnd_ = nullptr;  // the end of the block, committed or not
  uint64_t keepFrom_ = kNothingKept;
};

}  // namespace irun
