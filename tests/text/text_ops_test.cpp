// Search, replace, cut and trim: the documented edge cases, and FindText/ReplaceAll
// against a plain quadratic reference over many random texts of a small alphabet
// (where partial matches and overlaps are frequent).
#include "text/text_ops.h"

#include <gtest/gtest.h>

#include <random>

namespace {

WideString W(const char* ascii) { return WideFromAscii(ascii); }

int ReferenceFind(const WideString& text, const WideString& pattern, int start) {
  if (start > static_cast<int>(text.size())) return -1;
  for (size_t i = start; i + pattern.size() <= text.size(); ++i) {
    if (text.compare(i, pattern.size(), pattern) == 0) return static_cast<int>(i);
  }
  return -1;
}

int ReferenceReplace(WideString& text, const WideString& pattern, const WideString& with) {
  if (pattern.empty()) return 0;
  int count = 0;
  for (int at = ReferenceFind(text, pattern, 0); at >= 0;
       at = ReferenceFind(text, pattern, at + static_cast<int>(with.size()))) {
    text = text.substr(0, at) + with + text.substr(at + pattern.size());
    ++count;
  }
  return count;
}

WideString RandomText(std::mt19937& rng, size_t maxLength, int alphabet) {
  std::uniform_int_distribution<size_t> length(0, maxLength);
  std::uniform_int_distribution<int> unit(0, alphabet - 1);
  WideString text(length(rng), u'a');
  for (auto& c : text) c = static_cast<char16_t>(u'a' + unit(rng));
  return text;
}

TEST(FindText, EdgeCases) {
  EXPECT_EQ(FindText(W("abc"), W("c"), 3), -1);   // start at the end, nothing left
  EXPECT_EQ(FindText(W("abc"), W("c"), 4), -1);   // start past the end
  EXPECT_EQ(FindText(W("abc"), W(""), 3), 3);     // empty pattern found at start
  EXPECT_EQ(FindText(W("abc"), W(""), 4), -1);
  EXPECT_EQ(FindText(W("abcabc"), W("bc"), 2), 4);
  EXPECT_EQ(FindText(W("abc"), W("abcd"), 0), -1);
  EXPECT_EQ(FindText(W("<BODY <body "), W("<body "), 0), 6);  // exact case only
  EXPECT_EQ(FindText(W("aaab"), W("aab"), 0), 1);  // restart inside a partial match
  EXPECT_EQ(FindText(W("abababac"), W("ababac"), 0), 2);
}

TEST(FindText, NonAsciiUnitsAndLongPatterns) {
  WideString text = u"x\u00e9\U0001F600y";
  EXPECT_EQ(FindText(text, u"\U0001F600", 0), 2);
  EXPECT_EQ(FindText(text, u"y", 0), 4);
  WideString longPattern(100, u'a');
  WideString hay = WideString(500, u'a') + u"b";
  EXPECT_EQ(FindText(hay, longPattern + u"b", 0), 400);
}

TEST(ReplaceAll, DocumentedCases) {
  WideString text = W("abab");
  EXPECT_EQ(ReplaceAll(text, W("ab"), W("")), 2);
  EXPECT_EQ(text, W(""));

  text = W("aaa");
  EXPECT_EQ(ReplaceAll(text, W("aa"), W("X")), 1);  // no overlapping occurrences
  EXPECT_EQ(text, W("Xa"));

  text = W("a-a");
  EXPECT_EQ(ReplaceAll(text, W("a"), W("aa")), 2);  // replacement is never searched
  EXPECT_EQ(text, W("aa-aa"));

  text = W("abc");
  EXPECT_EQ(ReplaceAll(text, W(""), W("X")), 0);
  EXPECT_EQ(ReplaceAll(text, W("x"), W("X")), 0);
  EXPECT_EQ(text, W("abc"));
}

TEST(TextOps, MatchQuadraticReferenceOnRandomTexts) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 20000; ++round) {
    WideString text = RandomText(rng, 40, 3);
    WideString pattern = RandomText(rng, 5, 3);
    WideString with = RandomText(rng, 4, 3);
    int start = std::uniform_int_distribution<int>(0, 45)(rng);
    ASSERT_EQ(FindText(text, pattern, start), ReferenceFind(text, pattern, start))
        << "round " << round;
    WideString mine = text;
    WideString expected = text;
    int count = ReplaceAll(mine, pattern, with);
    ASSERT_EQ(count, ReferenceReplace(expected, pattern, with)) << "round " << round;
    ASSERT_EQ(mine, expected) << "round " << round;
  }
}

TEST(CutText, Bounds) {
  EXPECT_EQ(MidText(W("abc"), 2, 5), W("c"));
  EXPECT_EQ(MidText(W("abc"), 4, 1), W(""));
  EXPECT_EQ(MidText(W("abc"), 3, 1), W(""));
  EXPECT_EQ(MidText(W("abc"), -2, 2), W("ab"));
  EXPECT_EQ(MidText(W("abc"), 1, -1), W(""));
  EXPECT_EQ(LeftText(W("abc"), 2), W("ab"));
  EXPECT_EQ(LeftText(W("abc"), 9), W("abc"));
  EXPECT_EQ(LeftText(W("abc"), -1), W(""));
  EXPECT_EQ(RightText(W("abc"), 2), W("bc"));
  EXPECT_EQ(RightText(W("abc"), 9), W("abc"));
  EXPECT_EQ(RightText(W("abc"), -1), W(""));
}

TEST(TrimChars, BothEnds) {
  WideString text = W("  a b  ");
  TrimLeadingChars(text, W(" "));
  TrimTrailingChars(text, W(" "));
  EXPECT_EQ(text, W("a b"));

  text = W("   ");
  TrimLeadingChars(text, W(" "));
  EXPECT_EQ(text, W(""));
  text = W("   ");
  TrimTrailingChars(text, W(" "));
  EXPECT_EQ(text, W(""));

  text = W("\t x \t");  // only the listed units go
  TrimLeadingChars(text, W(" "));
  TrimTrailingChars(text, W(" "));
  EXPECT_EQ(text, W("\t x \t"));
  TrimLeadingChars(text, W(" \t"));
  TrimTrailingChars(text, W("\t "));
  EXPECT_EQ(text, W("x"));

  text = W(" x ");
  TrimLeadingChars(text, W(""));
  TrimTrailingChars(text, W(""));
  EXPECT_EQ(text, W(" x "));
}

}  // namespace
