// The characters XML 1.0 allows: one rule for every place that writes XML (note
// content, title, tags).
#pragma once

#include <cstdint>

#include "text/wide_string.h"

// A code point XML 1.0 allows in a document.
inline bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Passes each code unit of text to append, leaving out those XML 1.0 forbids: control
// characters other than tab, line feed and carriage return, U+FFFE, U+FFFF and lone
// surrogates.
template <typename Append>
void ForEachXmlUnit(WideView text, Append append) {
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit)) {
      if (i + 1 < n && IsLowSurrogate(text[i + 1])) {
        append(unit);
        append(text[++i]);
      }
      continue;
    }
    if (IsXmlChar(unit)) append(unit);
  }
}

// text without the code units XML forbids.
inline WideString XmlCharsOnly(WideView text) {
  WideString kept;
  kept.reserve(text.size());
  ForEachXmlUnit(text, [&](char16_t unit) { kept.push_back(unit); });
  return kept;
}
