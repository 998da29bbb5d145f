// The platform's code-page decoding (iconv natively, MultiByteToWideChar on Windows)
// against known texts, and the lead bytes that keep double-byte text together.
#include <gtest/gtest.h>

#include <string>

#include "code_page.h"

namespace {

struct Sample {
  unsigned codePage;
  const char* bytes;
  const char16_t* text;
};

TEST(IrunCodePage, DecodesTheCodePagesOfRtfCharsets) {
  const Sample samples[] = {
      {1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
      {1250, "\xB9\xE8", u"\u0105\u010D"},
      {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
      {1253, "\xC5\xEB\xEB\xDC\xE4\xE1", u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1"},
      {1255, "\xF9\xEC\xE5\xED", u"\u05E9\u05DC\u05D5\u05DD"},
      {932, "\x93\xFA\x96\x7B\x8C\xEA", u"\u65E5\u672C\u8A9E"},
      {936, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
      {949, "\xC7\xD1\xB1\xB9\xBE\xEE", u"\uD55C\uAD6D\uC5B4"},
      {950, "\xA4\xA4\xA4\xE5", u"\u4E2D\u6587"},
      {10000, "\x8E", u"\u00E9"},
      {437, "\x82", u"\u00E9"},
  };
  for (const Sample& sample : samples) {
    std::u16string out = u"x";
    ASSERT_TRUE(irun::DecodeCodePage(sample.codePage, sample.bytes, out)) << sample.codePage;
    EXPECT_EQ(out, std::u16string(u"x") + sample.text) << sample.codePage;
  }
}

TEST(IrunCodePage, RefusesUnknownCodePages) {
  std::u16string out;
  EXPECT_FALSE(irun::DecodeCodePage(12345, "abc", out));
  EXPECT_TRUE(out.empty());
}

TEST(IrunCodePage, LeadBytesOfDoubleByteCodePages) {
  EXPECT_TRUE(irun::IsLeadByte(932, 0x81));
  EXPECT_TRUE(irun::IsLeadByte(932, 0xE0));
  EXPECT_FALSE(irun::IsLeadByte(932, 0xA1));  // half-width katakana stand alone
  EXPECT_FALSE(irun::IsLeadByte(932, 0x5C));
  for (unsigned codePage : {936u, 949u, 950u}) {
    EXPECT_TRUE(irun::IsLeadByte(codePage, 0x81)) << codePage;
    EXPECT_TRUE(irun::IsLeadByte(codePage, 0xFE)) << codePage;
    EXPECT_FALSE(irun::IsLeadByte(codePage, 0x80)) << codePage;
    EXPECT_FALSE(irun::IsLeadByte(codePage, 0x41)) << codePage;
  }
  EXPECT_FALSE(irun::IsLeadByte(1252, 0x81));
}

}  // namespace
