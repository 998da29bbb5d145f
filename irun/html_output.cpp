#include "html_output.h"

#include <algorithm>
#include <new>

#include "output_memory.h"

namespace irun {

HtmlOutput::HtmlOutput(OutputSink sink, void* userData, HtmlChunks* chunks, size_t inputSize,
                       size_t budget)
    : sink_(sink),
      userData_(userData),
      chunks_(chunks),
      // Ordinary documents come out at one to three times their RTF; a large block is
      // only taken while all blocks stay within that, so the memory a document holds
      // stays about what it writes.
      largeAllowance_(inputSize / 2 * 5),
      budget_(budget) {
  if (!chunks_) {
    buffer_.reset(new char[kChunk]);
    begin_ = pos_ = buffer_.get();
    end_ = begin_ + kChunk;
  } else {
    NextBlock();
  }
}

void HtmlOutput::Number(long long value) {
  char digits[24];
  char* const end = digits + sizeof digits;
  char* p = end;
  unsigned long long magnitude =
      value < 0 ? 0 - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  Write(p, static_cast<size_t>(end - p));
}

void HtmlOutput::EscapedReference(uint32_t codePoint) {
  switch (codePoint) {
    case '<': std::memcpy(pos_, "&lt;", 4); pos_ += 4; return;
    case '>': std::memcpy(pos_, "&gt;", 4); pos_ += 4; return;
    case '&': std::memcpy(pos_, "&amp;", 5); pos_ += 5; return;
    case '"': std::memcpy(pos_, "&quot;", 6); pos_ += 6; return;
    default: break;
  }
  char reference[16];
  char* const end = reference + sizeof reference;
  char* p = end;
  *--p = ';';
  do {
    *--p = static_cast<char>('0' + codePoint % 10);
    codePoint /= 10;
  } while (codePoint != 0);
  *--p = '#';
  *--p = '&';
  const size_t size = static_cast<size_t>(end - p);
  std::memcpy(pos_, p, size);
  pos_ += size;
}

void HtmlOutput::WriteAcrossBlocks(const char* data, size_t size) {
  while (size > 0) {
    if (pos_ == end_) NextBlock();
    const size_t part = std::min(size, static_cast<size_t>(end_ - pos_));
    std::memcpy(pos_, data, part);
    pos_ += part;
    data += part;
    size -= part;
  }
}

void HtmlOutput::NextBlock() {
  if (!chunks_) {
    Flush();
    return;
  }
  if (begin_) {
    const size_t used = static_cast<size_t>(pos_ - begin_);
    chunks_->SetLastSize(used);
    written_ += used;
  }
  // The first block is small: many documents need no more.
  const bool large = allocated_ > 0 && allocated_ + kLargeOutputBlock <= largeAllowance_;
  const size_t capacity = large ? kLargeOutputBlock : kChunk;
  begin_ = pos_ = chunks_->AddBlock(capacity);
  end_ = begin_ + capacity;
  allocated_ += capacity;
}

void HtmlOutput::Flush() {
  if (!chunks_) {
    if (pos_ > begin_) sink_(begin_, static_cast<size_t>(pos_ - begin_), userData_);
    written_ += static_cast<size_t>(pos_ - begin_);
    pos_ = begin_;
    return;
  }
  if (begin_) chunks_->SetLastSize(static_cast<size_t>(pos_ - begin_));
}

}  // namespace irun
