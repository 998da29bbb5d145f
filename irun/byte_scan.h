// The converter's inner loops over bytes: how far a stretch of one kind reaches. They
// look at 16 bytes at a time where the processor has SSE2 (every x86-64, and the
// 32-bit build asks for it), one at a time elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace irun {

// Bytes of data that a skipped destination drops: up to the next brace or backslash.
inline const char* SkipData(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i open = _mm_set1_epi8('{');
  const __m128i close = _mm_set1_epi8('}');
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close)),
                                     _mm_cmpeq_epi8(v, backslash));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0) return p + __builtin_ctz(mask);
  }
#endif
  for (; p < end; ++p) {
    if (*p == '{' || *p == '}' || *p == '\\') break;
  }
  return p;
}

// Text bytes that go out without decoding: 0x20..0x7F and tabs, but not the braces
// and the backslash of RTF.
inline bool IsTextByte(unsigned char c) {
  return (c >= 0x20 && c < 0x80 && c != '{' && c != '}' && c != '\\') || c == '\t';
}

inline const char* ScanTextBytes(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i controls = _mm_set1_epi8(0x1F);
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i open = _mm_set1_epi8('{');
  const __m128i close = _mm_set1_epi8('}');
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Signed: bytes from 0x80 on are negative and so not above 0x1F.
    const __m128i text = _mm_or_si128(_mm_cmpgt_epi8(v, controls), _mm_cmpeq_epi8(v, tab));
    const __m128i syntax = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close)),
                                        _mm_cmpeq_epi8(v, backslash));
    const unsigned ok = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(syntax, text)));
    if (ok != 0xFFFF) return p + __builtin_ctz(~ok);
  }
#endif
  while (p < end && IsTextByte(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// Bytes that HTML shows as they are: printable ASCII other than markup characters
// (kPlainAscii of html_output.h), and spaces that do not follow a space (HTML would
// fold them). `space` tells whether the byte before `p` was a space, and on return
// whether the last byte taken was.
inline const char* ScanPlainHtml(const char* p, const char* end, bool& space) {
#if defined(__SSE2__)
  const __m128i controls = _mm_set1_epi8(0x20);
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i blank = _mm_set1_epi8(' ');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i markup =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')),
                                  _mm_cmpeq_epi8(v, _mm_set1_epi8('>'))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                                  _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))));
    const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(v, controls), _mm_cmplt_epi8(v, del));
    const unsigned plain = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(markup, printable)));
    const unsigned spaces = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blank)));
    const unsigned doubled = spaces & ((spaces << 1) | (space ? 1u : 0u));
    const unsigned ok = (plain | spaces) & ~doubled & 0xFFFF;
    if (ok != 0xFFFF) {
      const int taken = __builtin_ctz(~ok);
      if (taken > 0) space = ((spaces >> (taken - 1)) & 1) != 0;
      return p + taken;
    }
    space = (spaces & 0x8000) != 0;
  }
#endif
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c > 0x20 && c < 0x7F && c != '<' && c != '>' && c != '&' && c != '"') {
      space = false;
    } else if (c == ' ' && !space) {
      space = true;
    } else {
      break;
    }
  }
  return p;
}

}  // namespace irun
