// Buffered ASCII output with the escaping rules of the converter's documents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "irun_core.h"

namespace irun {

class HtmlOutput {
 public:
  // Output goes to `sink`, or when `pieces` is given, each full buffer is moved there.
  HtmlOutput(OutputSink sink, void* userData, std::vector<std::string>* pieces, size_t budget)
      : sink_(sink), userData_(userData), pieces_(pieces), budget_(budget) {
    buffer_.reserve(kChunk + kSlack);
  }
  HtmlOutput(const HtmlOutput&) = delete;
  HtmlOutput& operator=(const HtmlOutput&) = delete;

  void Raw(std::string_view text) {
    buffer_.append(text.data(), text.size());
    if (buffer_.size() >= kChunk) Flush();
  }
  void Number(long long value) { Raw(std::to_string(value)); }
  // One character of text or of an attribute value: markup characters and everything
  // outside printable ASCII as character references.
  void Escaped(uint32_t codePoint) {
    if (codePoint < 0x80 && kPlain[codePoint]) {
      buffer_.push_back(static_cast<char>(codePoint));
    } else if (codePoint == '<') {
      buffer_.append("&lt;");
    } else if (codePoint == '>') {
      buffer_.append("&gt;");
    } else if (codePoint == '&') {
      buffer_.append("&amp;");
    } else if (codePoint == '"') {
      buffer_.append("&quot;");
    } else {
      char reference[16];
      char* end = reference + sizeof reference;
      char* p = end;
      *--p = ';';
      do {
        *--p = static_cast<char>('0' + codePoint % 10);
        codePoint /= 10;
      } while (codePoint != 0);
      *--p = '#';
      *--p = '&';
      buffer_.append(p, static_cast<size_t>(end - p));
    }
    if (buffer_.size() >= kChunk) Flush();
  }
  // Writes plain printable ASCII that needs no escaping.
  void PlainAscii(const char* text, size_t size) {
    buffer_.append(text, size);
    if (buffer_.size() >= kChunk) Flush();
  }
  static bool IsPlain(unsigned char c) { return c < 0x80 && kPlain[c]; }

  void Flush() {
    if (buffer_.empty()) return;
    written_ += buffer_.size();
    if (pieces_) {
      pieces_->push_back(std::move(buffer_));
      buffer_ = std::string();
      buffer_.reserve(kChunk + kSlack);
      return;
    }
    sink_(buffer_.data(), buffer_.size(), userData_);
    buffer_.clear();
  }
  // True once the output has outgrown what any sane document of the input's size
  // makes; the reader then stops and only closes what is open.
  bool OverBudget() const { return written_ + buffer_.size() > budget_; }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  static constexpr size_t kSlack = 8 * 1024;  // room for the append that fills a chunk
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
  OutputSink sink_;
  void* userData_;
  std::vector<std::string>* pieces_;
  size_t budget_;
  size_t written_ = 0;
  std::string buffer_;
};

}  // namespace irun
