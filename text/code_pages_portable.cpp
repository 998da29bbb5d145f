// Code-page conversions without Win32: UTF-8 by hand, and both ANSI code pages as
// Windows-1252 (what Windows and Wine use with a western default locale), with its
// table taken from iconv once.
#include "text/code_pages.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct AnsiTables {
  std::array<char16_t, 256> toWide{};
  std::vector<char> fromWide = std::vector<char>(0x10000, '?');  // '?': the default character
};

// Bytes that Windows-1252 leaves undefined map to the control character of the same
// value, as MultiByteToWideChar does.
AnsiTables BuildAnsiTables() {
  AnsiTables tables;
  for (int byte = 0; byte < 256; ++byte) tables.toWide[byte] = static_cast<char16_t>(byte);
  iconv_t cd = iconv_open("UTF-16LE", "CP1252");
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    for (int byte = 0x80; byte < 256; ++byte) {
      char in = static_cast<char>(byte);
      unsigned char out[4] = {};
      char* inPtr = &in;
      char* outPtr = reinterpret_cast<char*>(out);
      size_t inLeft = 1, outLeft = sizeof out;
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
          outLeft == 2) {
        tables.toWide[byte] = static_cast<char16_t>(out[0] | (out[1] << 8));
      }
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
  }
  for (int byte = 0; byte < 256; ++byte) {
    tables.fromWide[tables.toWide[byte]] = static_cast<char>(byte);
  }
  return tables;
}

const AnsiTables& Ansi() {
  static const AnsiTables tables = BuildAnsiTables();
  return tables;
}

bool IsAnsi(unsigned codePage) {
  return codePage == kCodePageAnsi || codePage == kCodePageThreadAnsi || codePage == 1252;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendCodePoint(WideString& out, char32_t point) {
  if (point < 0x10000) {
    out.push_back(static_cast<char16_t>(point));
  } else {
    point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
  }
}

// Malformed input gives one U+FFFD per maximal invalid subsequence.
WideString Utf8ToWide(const unsigned char* bytes, size_t length) {
  WideString out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t point = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, point = lead & 0x07;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool valid = true;
    for (int k = 0; k < extra; ++k, ++j) {
      // Overlong forms, surrogates and points past U+10FFFF fail at their second byte.
      if (j >= length || !IsContinuation(bytes[j]) ||
          (k == 0 && ((lead == 0xE0 && bytes[j] < 0xA0) || (lead == 0xED && bytes[j] > 0x9F) ||
                      (lead == 0xF0 && bytes[j] < 0x90) || (lead == 0xF4 && bytes[j] > 0x8F)))) {
        valid = false;
        break;
      }
      point = (point << 6) | (bytes[j] & 0x3F);
    }
    if (!valid) {
      out.push_back(kReplacement);
      i = j;  // the failing byte starts the next sequence
      continue;
    }
    AppendCodePoint(out, point);
    i = j;
  }
  return out;
}

// Code point at text[i] (a pair counts once; a lone surrogate is U+FFFD) and the
// number of units it took.
char32_t CodePointAt(const char16_t* text, size_t length, size_t i, size_t& units) {
  char32_t point = text[i];
  units = 1;
  if (point >= 0xD800 && point <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
      text[i + 1] <= 0xDFFF) {
    units = 2;
    return 0x10000 + ((point - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  return (point >= 0xD800 && point <= 0xDFFF) ? kReplacement : point;
}

size_t Utf8Length(char32_t point) {
  return point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
}

// Appends length units of text as UTF-8, measuring first so that out grows once.
void AppendUtf8Units(ByteString& out, const char16_t* text, size_t length, size_t spareAfter) {
  size_t total = 0;
  for (size_t i = 0, units = 0; i < length; i += units) {
    total += Utf8Length(CodePointAt(text, length, i, units));
  }
  const size_t start = out.size();
  out.reserve(start + total + spareAfter);
  out.resize(start + total);
  char* write = &out[start];
  for (size_t i = 0, units = 0; i < length; i += units) {
    const char32_t point = CodePointAt(text, length, i, units);
    if (point < 0x80) {
      *write++ = static_cast<char>(point);
    } else if (point < 0x800) {
      *write++ = static_cast<char>(0xC0 | (point >> 6));
      *write++ = static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      *write++ = static_cast<char>(0xE0 | (point >> 12));
      *write++ = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      *write++ = static_cast<char>(0x80 | (point & 0x3F));
    } else {
      *write++ = static_cast<char>(0xF0 | (point >> 18));
      *write++ = static_cast<char>(0x80 | ((point >> 12) & 0x3F));
      *write++ = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      *write++ = static_cast<char>(0x80 | (point & 0x3F));
    }
  }
}

}  // namespace

WideString BytesToWide(const char* bytes, unsigned codePage) {
  if (!bytes) return WideString();
  const size_t length = std::strlen(bytes);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes);
  if (codePage == kCodePageUtf8) return Utf8ToWide(data, length);
  if (!IsAnsi(codePage)) return WideString();
  const AnsiTables& tables = Ansi();
  WideString out(length, u'\0');
  for (size_t i = 0; i < length; ++i) out[i] = tables.toWide[data[i]];
  return out;
}

ByteString WideToBytes(const char16_t* text, unsigned codePage) {
  if (!text) return ByteString();
  const size_t length = std::char_traits<char16_t>::length(text);
  if (codePage == kCodePageUtf8) {
    ByteString out;
    AppendUtf8Units(out, text, length, 0);
    return out;
  }
  if (!IsAnsi(codePage)) return ByteString();
  const AnsiTables& tables = Ansi();
  ByteString out(length, '\0');
  // Each UTF-16 unit maps on its own, as Windows does for single-byte code pages, so
  // a character outside the Basic Multilingual Plane gives two default characters.
  for (size_t i = 0; i < length; ++i) out[i] = tables.fromWide[text[i]];
  return out;
}

void AppendUtf8(ByteString& out, const WideString& text, size_t spareAfter) {
  AppendUtf8Units(out, text.c_str(), std::char_traits<char16_t>::length(text.c_str()),
                  spareAfter);
}
