// Conversions between UTF-16 texts and 8-bit code pages.
//
// The ENEX file is UTF-8 and the RTF converter exchanges text in ANSI code pages; these
// are the only places where 8-bit text meets the plug-in's wide texts. Every input is
// taken up to its first NUL. Every failure (absent or empty input, a conversion that
// yields nothing) gives an empty result. No byte-order mark is written or expected.
//
// On Windows the system converts (MultiByteToWideChar / WideCharToMultiByte, flags 0).
// Elsewhere UTF-8 is converted here and both ANSI code pages stand for Windows-1252,
// so the portable parts of the plug-in and their tests run natively as well.
#pragma once

#include "text/wide_string.h"

// Windows' code page numbers: CP_ACP, CP_THREAD_ACP and CP_UTF8.
constexpr unsigned kCodePageAnsi = 0;
constexpr unsigned kCodePageThreadAnsi = 3;
constexpr unsigned kCodePageUtf8 = 65001;

// 8-bit text in codePage to UTF-16. Unmappable input becomes the code page's
// replacement (U+FFFD for malformed UTF-8).
WideString BytesToWide(const char* bytes, unsigned codePage);
inline WideString BytesToWide(const ByteString& bytes, unsigned codePage) {
  return BytesToWide(bytes.c_str(), codePage);
}

// UTF-16 to 8-bit text in codePage. Characters the code page lacks become its default
// character ('?' in Windows-1252); a lone surrogate becomes U+FFFD in UTF-8.
ByteString WideToBytes(const char16_t* text, unsigned codePage);
inline ByteString WideToBytes(const WideString& text, unsigned codePage) {
  return WideToBytes(text.c_str(), codePage);
}

// The three fixed uses: the converter's output (system ANSI code page), the text handed
// to the converter (the calling thread's ANSI code page), and the ENEX file (UTF-8).
inline WideString AnsiToWide(const ByteString& bytes) {
  return BytesToWide(bytes, kCodePageAnsi);
}
inline ByteString WideToThreadAnsi(const WideString& text) {
  return WideToBytes(text, kCodePageThreadAnsi);
}
inline ByteString WideToUtf8(const WideString& text) {
  return WideToBytes(text, kCodePageUtf8);
}

// WideToUtf8(text) appended to out, without a temporary copy, for texts of many
// megabytes. out gets room for spareAfter more bytes as well, so that what the caller
// appends next does not move it all again.
void AppendUtf8(ByteString& out, const WideString& text, size_t spareAfter = 0);
