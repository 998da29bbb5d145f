// ASCII case, for names that Windows and markup compare without regard to it (device
// and file names, tag and attribute names); other characters are left as they are.
#pragma once

#include "text/wide_string.h"

inline char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }
inline char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c; }

inline bool SameIgnoringAsciiCase(WideView a, WideView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

inline WideString AsciiLowered(WideView text) {
  WideString lowered(text);
  for (char16_t& c : lowered) c = AsciiLower(c);
  return lowered;
}
