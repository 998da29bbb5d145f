// The plug-in's text types.
//
// WideString is length-counted UTF-16 with value semantics on every platform (char16_t,
// so the portable code behaves the same natively and on Windows). Indices and lengths
// count UTF-16 code units. ByteString carries 8-bit text: RTF, the converter's
// exchanges and the finished ENEX file.
#pragma once

#include <string>
#include <string_view>

using WideString = std::u16string;
using WideView = std::u16string_view;
using ByteString = std::string;

// Plain ASCII literal or number to WideString, for building texts.
inline WideString WideFromAscii(std::string_view ascii) {
  return WideString(ascii.begin(), ascii.end());
}
inline WideString WideNumber(long long value) {
  return WideFromAscii(std::to_string(value));
}

#ifdef _WIN32
// wchar_t is UTF-16 on Windows: the two views of a text share their bytes.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on Windows");
inline const wchar_t* WidePtr(const WideString& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* WidePtr(WideString& text) { return reinterpret_cast<wchar_t*>(text.data()); }
inline WideString WideFromPtr(const wchar_t* text) {
  return text ? WideString(reinterpret_cast<const char16_t*>(text)) : WideString();
}
inline WideString WideFromPtr(const wchar_t* text, size_t count) {
  return text ? WideString(reinterpret_cast<const char16_t*>(text), count) : WideString();
}
#endif
