// Code-page conversions. The same cases run natively and under Wine, where the system's
// ANSI code page is 1252.
#include "text/code_pages.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <random>

namespace {

ByteString Bytes(std::initializer_list<unsigned> values) {
  ByteString out;
  for (unsigned v : values) out.push_back(static_cast<char>(v));
  return out;
}

void RequireWesternAnsi() {
#ifdef _WIN32
  if (GetACP() != 1252) GTEST_SKIP() << "the system ANSI code page is " << GetACP();
#endif
}

TEST(Utf8, AsciiHasNoByteOrderMark) {
  EXPECT_EQ(WideToUtf8(u"abc"), "abc");
  EXPECT_EQ(BytesToWide(ByteString("abc"), kCodePageUtf8), u"abc");
}

TEST(Utf8, EveryEncodedLength) {
  const WideString text = u"a\u00e9\u20ac\U0001F600z";  // 1, 2, 3 and 4 bytes
  const ByteString utf8 = Bytes({'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 'z'});
  EXPECT_EQ(WideToUtf8(text), utf8);
  EXPECT_EQ(BytesToWide(utf8, kCodePageUtf8), text);
  // The highest code point, as a surrogate pair.
  EXPECT_EQ(WideToUtf8(u"\U0010FFFF"), Bytes({0xF4, 0x8F, 0xBF, 0xBF}));
  EXPECT_EQ(BytesToWide(Bytes({0xF4, 0x8F, 0xBF, 0xBF}), kCodePageUtf8), u"\U0010FFFF");
}

TEST(Utf8, RandomTextsRoundTrip) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<char32_t> point(1, 0x10FFFF);
  for (int round = 0; round < 500; ++round) {
    WideString text;
    for (int i = 0; i < 50; ++i) {
      char32_t p = point(rng);
      if (p >= 0xD800 && p <= 0xDFFF) continue;
      if (p < 0x10000) {
        text.push_back(static_cast<char16_t>(p));
      } else {
        text.push_back(static_cast<char16_t>(0xD800 + ((p - 0x10000) >> 10)));
        text.push_back(static_cast<char16_t>(0xDC00 + ((p - 0x10000) & 0x3FF)));
      }
    }
    ASSERT_EQ(BytesToWide(WideToUtf8(text), kCodePageUtf8), text) << "round " << round;
  }
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  const WideString decoded = BytesToWide(Bytes({'a', 0xFF, 'b', 0xC3, 'c'}), kCodePageUtf8);
  EXPECT_EQ(decoded, u"a\uFFFDb\uFFFDc");
  // A lone surrogate has no UTF-8 form.
  EXPECT_EQ(WideToUtf8(WideString(u"x") + char16_t(0xD800) + u"y"),
            Bytes({'x', 0xEF, 0xBF, 0xBD, 'y'}));
}

TEST(Conversions, EmptyAbsentAndEmbeddedNul) {
  EXPECT_EQ(BytesToWide(static_cast<const char*>(nullptr), kCodePageUtf8), u"");
  EXPECT_EQ(WideToBytes(static_cast<const char16_t*>(nullptr), kCodePageUtf8), "");
  EXPECT_EQ(BytesToWide(ByteString(), kCodePageAnsi), u"");
  EXPECT_EQ(WideToUtf8(WideString()), "");
  EXPECT_EQ(WideToUtf8(WideString(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(AnsiToWide(ByteString("ab\0cd", 5)), u"ab");
  EXPECT_EQ(WideToThreadAnsi(WideString(u"\0cd", 3)), "");
}

// 1999 units go through the fixed buffer, 2000 and more through the heap: both complete.
TEST(Conversions, FixedBufferBoundary) {
  for (size_t length : {1998u, 1999u, 2000u, 2001u, 70000u}) {
    const WideString wide(length, u'x');
    const ByteString narrow(length, 'x');
    EXPECT_EQ(WideToUtf8(wide), narrow) << length;
    EXPECT_EQ(BytesToWide(narrow, kCodePageUtf8), wide) << length;
    EXPECT_EQ(AnsiToWide(narrow), wide) << length;
    EXPECT_EQ(WideToThreadAnsi(wide), narrow) << length;
  }
  // The result's size decides the buffer, not the input's: 1000 units give 2000 bytes.
  const WideString accents(1000, u'\u00e9');
  ByteString twoByte;
  for (int i = 0; i < 1000; ++i) twoByte += "\xC3\xA9";
  EXPECT_EQ(WideToUtf8(accents), twoByte);
  EXPECT_EQ(WideToUtf8(WideString(999, u'\u00e9') + u"a"), twoByte.substr(0, 1998) + "a");
  EXPECT_EQ(BytesToWide(twoByte, kCodePageUtf8), accents);
}

TEST(Utf8, AppendMatchesWholeConversion) {
  for (size_t length : {0u, 1u, 1999u, 2000u, 70000u}) {
    WideString text;
    for (size_t i = 0; i < length; ++i) text += (i % 3) ? u'x' : u'\u00e9';
    ByteString out = "head";
    AppendUtf8(out, text, 10);
    EXPECT_EQ(out, "head" + WideToUtf8(text)) << length;
    EXPECT_GE(out.capacity(), out.size() + 10) << length;
  }
  ByteString out = "a";
  AppendUtf8(out, WideString(u"b\0c", 3));
  EXPECT_EQ(out, "ab");
}

TEST(Ansi, Windows1252BothWays) {
  RequireWesternAnsi();
  const ByteString ansi = Bytes({'A', 0x80, 0xE9, 0x9F, 0xFF});
  const WideString wide = u"A\u20ac\u00e9\u0178\u00ff";
  EXPECT_EQ(AnsiToWide(ansi), wide);
  EXPECT_EQ(WideToThreadAnsi(wide), ansi);
  EXPECT_EQ(WideToBytes(wide, kCodePageAnsi), ansi);
}

TEST(Ansi, UnmappableCharactersBecomeTheDefaultCharacter) {
  RequireWesternAnsi();
  EXPECT_EQ(WideToThreadAnsi(u"a\u4e2d\u0416b"), "a??b");
  EXPECT_EQ(WideToThreadAnsi(u"FFFFFF"), "FFFFFF");
}

}  // namespace
