#include "html_output.h"

#include <algorithm>
#include <new>

#include "output_memory.h"

namespace irun {

HtmlOutput::HtmlOutput(OutputSink sink, void* userData, HtmlChunks* chunks, size_t inputSize)
    : sink_(sink), userData_(userData), chunks_(chunks), inputSize_(inputSize) {
  if (!chunks_) {
    buffer_.reset(new char[kChunk]);
    begin_ = pos_ = buffer_.get();
    end_ = blockEnd_ = begin_ + kChunk;
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

char* EscapeCodePoint(uint32_t codePoint, char* out) {
  if (IsPlainAscii(codePoint)) {
    *out = static_cast<char>(codePoint);
    return out + 1;
  }
  switch (codePoint) {
    case '<': std::memcpy(out, "&lt;", 4); return out + 4;
    case '>': std::memcpy(out, "&gt;", 4); return out + 4;
    case '&': std::memcpy(out, "&amp;", 5); return out + 5;
    case '"': std::memcpy(out, "&quot;", 6); return out + 6;
    default: break;
  }
  char reference[kLongestEscape];
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
  std::memcpy(out, p, size);
  return out + size;
}

void AppendEscaped(std::string& text, uint32_t codePoint) {
  char escaped[kLongestEscape];
  text.append(escaped, static_cast<size_t>(EscapeCodePoint(codePoint, escaped) - escaped));
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

// Ordinary documents come out at one to three times their RTF. Where a block costs its
// whole size at once, a large one is only taken while all blocks stay within that, so
// the memory a document holds stays about what it writes; where blocks are committed
// step by step, a large one costs no more than it holds.
bool HtmlOutput::LargeBlockAllowed() const {
  if (allocated_ == 0) return false;  // the first block is small: many documents need no more
  if (kOutputCommitsStepwise) return true;
  const uint64_t input = std::max<uint64_t>(inputSize_, inputRead_);
  return allocated_ + kLargeOutputBlock <= input / 2 * 5;
}

size_t HtmlOutput::KeptBytes() {
  if (keepFrom_ == kNothingKept) return 0;
  const uint64_t kept = Offset() - keepFrom_;
  if (keepFrom_ < written_ || kept > kKeepLimit) {
    LetGo();
    return 0;
  }
  return static_cast<size_t>(kept);
}

void HtmlOutput::NextBlock() {
  if (!chunks_) {
    // What comes before the kept stretch goes to the sink; the stretch moves to the
    // buffer's start.
    const size_t kept = KeptBytes();
    char* const keptStart = pos_ - kept;
    if (keptStart > begin_) sink_(begin_, static_cast<size_t>(keptStart - begin_), userData_);
    written_ += static_cast<size_t>(keptStart - begin_);
    if (kept > 0) std::memmove(begin_, keptStart, kept);
    pos_ = begin_ + kept;
    return;
  }
  if (end_ < blockEnd_) {
    const size_t step = std::min(kOutputCommitStep, static_cast<size_t>(blockEnd_ - end_));
    if (!CommitOutputBytes(end_, step)) throw std::bad_alloc();
    end_ += step;
    return;
  }
  const size_t kept = KeptBytes();
  const char* const keptStart = pos_ - kept;
  if (begin_) {
    const size_t used = static_cast<size_t>(keptStart - begin_);
    chunks_->SetLastSize(used);
    written_ += used;
  }
  const size_t capacity = LargeBlockAllowed() ? kLargeOutputBlock : kChunk;
  char* const block = chunks_->AddBlock(capacity);
  // The kept stretch moves to the new block (at most kKeepLimit, within its first
  // committed step).
  if (kept > 0) std::memcpy(block, keptStart, kept);
  begin_ = block;
  pos_ = block + kept;
  end_ = begin_ + CommittedAtFirst(capacity);
  blockEnd_ = begin_ + capacity;
  allocated_ += capacity;
}

bool HtmlOutput::Rewrite(uint64_t at, size_t size, std::string_view text) {
  if (keepFrom_ == kNothingKept || at < keepFrom_ || at < written_ ||
      Offset() - at > kKeepLimit || Offset() - at < size) {
    return false;
  }
  if (text.size() > size) {
    const size_t growth = text.size() - size;
    // Room behind the end moves the kept stretch along; `at` stays in it.
    while (static_cast<size_t>(end_ - pos_) < growth) {
      NextBlock();
      if (keepFrom_ == kNothingKept) return false;
    }
  }
  char* const place = begin_ + (at - written_);
  const size_t behind = static_cast<size_t>(pos_ - place) - size;
  std::memmove(place + text.size(), place + size, behind);
  std::memcpy(place, text.data(), text.size());
  pos_ = place + text.size() + behind;
  return true;
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
