// Hostile input: the converter must finish quickly with bounded output and keep the
// text it could read. CTest's timeout catches a hang.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "irun_core.h"
#include "test_support.h"

namespace {

// The output limit that the converter promises (see ConvertRtf), plus the frame.
void ExpectBoundedOutput(const std::string& rtf, const std::string& html) {
  EXPECT_LE(html.size(), rtf.size() * 64 + (1u << 20) + 65536);
  EXPECT_NE(html.find("</body>"), std::string::npos);
}

std::string Repeat(const std::string& piece, size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(IrunBadInput, EmptyAndWhitespaceGiveAnEmptyDocument) {
  for (std::string rtf : {std::string(), std::string("{\\rtf1}"), std::string(" \r\n{\\rtf1 }")}) {
    const std::string html = ConvertForTest(rtf);
    EXPECT_EQ(BodyOf(html), "") << rtf;
    ExpectBoundedOutput(rtf, html);
  }
}

TEST(IrunBadInput, NullInputWithZeroLengthIsAnEmptyDocument) {
  std::string html;
  ASSERT_TRUE(irun::ConvertRtfToString(nullptr, 0, irun::ConvertOptions(), html, nullptr));
  EXPECT_EQ(BodyOf(html), "");
}

TEST(IrunBadInput, AMillionNestedGroupsKeepTheTextAroundThem) {
  const size_t kDepth = 1000000;
  const std::string rtf = "{\\rtf1 before" + std::string(kDepth, '{') + "deep" +
                          std::string(kDepth, '}') + " after}";
  const std::string html = ConvertForTest(rtf);
  EXPECT_EQ(VisibleText(html), "before after\n");
  ExpectBoundedOutput(rtf, html);
}

TEST(IrunBadInput, UnclosedGroupsAndTruncationKeepWhatWasRead) {
  const std::string unclosed = "{\\rtf1 kept" + std::string(100000, '{') + "\\b also";
  EXPECT_EQ(VisibleText(ConvertForTest(unclosed)), "kept\n");
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 kept \\b bold\\par second")), "kept bold\nsecond\n");
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 cut in a word\\")), "cut in a word\n");
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 cut hex\\'c")), "cut hex\n");
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 cut unicode\\u")), "cut unicode\n");
}

TEST(IrunBadInput, ExtraClosingBracesEndTheDocument) {
  const std::string rtf = "{\\rtf1 one}}}}} not RTF any more";
  EXPECT_EQ(VisibleText(ConvertForTest(rtf)), "one\n");
  const std::string many = "{\\rtf1 a" + Repeat("}", 100000);
  EXPECT_EQ(VisibleText(ConvertForTest(many)), "a\n");
}

TEST(IrunBadInput, HugeBinaryLengthsSkipToTheEnd) {
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 a\\bin2147483647 xyz}")), "a\n");
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 a\\bin99999999999999999999 xyz}")), "a\n");
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 a\\bin-5 b}")), "ab\n");
  // The bytes of \bin are data even when they look like RTF.
  EXPECT_EQ(VisibleText(ConvertForTest("{\\rtf1 a{\\pict\\bin3 }}{b}c}")), "ac\n");
}

TEST(IrunBadInput, NumbersBeyondThirtyTwoBitsAreClamped) {
  const std::string rtf =
      "{\\rtf1{\\colortbl;\\red99999999999\\green-99999999999\\blue4294967296;}"
      "\\fs99999999999999\\cf99999999999 a\\li-99999999999 b\\u99999999999 c"
      "\\ansicpg99999999999\\uc99999999999 d\\itap99999999999 e\\ilvl-99999999999 f}";
  const std::string html = ConvertForTest(rtf);
  ExpectBoundedOutput(rtf, html);
  EXPECT_NE(VisibleText(html).find("ab"), std::string::npos);
}

TEST(IrunBadInput, UnicodeOutOfRangeAndLoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(BodyOf(ConvertForTest("{\\rtf1\\uc0\\u70000 \\u-40000 x}")),
            "<div>&#65533;&#65533;x</div>");
  EXPECT_EQ(BodyOf(ConvertForTest("{\\rtf1\\uc0\\u-10179 x\\u-8704 y}")),
            "<div>&#65533;x&#65533;y</div>");
}

TEST(IrunBadInput, EveryPrefixOfARealDocumentConverts) {
  const std::string rtf = ReadFileBytes(TestDataPath("pandoc/formatting.rtf"));
  ASSERT_GT(rtf.size(), 200u);
  for (size_t length = 0; length <= rtf.size(); ++length) {
    const std::string prefix = rtf.substr(0, length);
    ExpectBoundedOutput(prefix, ConvertForTest(prefix));
  }
}

TEST(IrunBadInput, BinaryGarbageConvertsWithBoundedOutput) {
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<char>(seed >> 16);
  };
  // Garbage that looks like RTF (many braces and backslashes) and raw bytes.
  const std::string alphabet = "{}\\'*0123456789abcdefuxbinparcelltrowdfield \"";
  for (int round = 0; round < 200; ++round) {
    std::string rtf = round % 2 ? "{\\rtf1 " : "";
    for (int i = 0; i < 4000; ++i) {
      const char c = next();
      rtf.push_back(round % 4 < 2 ? alphabet[static_cast<unsigned char>(c) % alphabet.size()] : c);
    }
    ExpectBoundedOutput(rtf, ConvertForTest(rtf));
  }
}

TEST(IrunBadInput, OutputThatWouldExplodeIsCutOff) {
  // Each repetition opens and closes eight nested tables: far more output than input.
  const std::string rtf = "{\\rtf1 " + Repeat("\\itap8 x\\itap0 y", 200000) + "}";
  const std::string html = ConvertForTest(rtf);
  ExpectBoundedOutput(rtf, html);
  EXPECT_EQ(html.substr(html.size() - 18), "</body>\r\n</html>\r\n");
}

}  // namespace
