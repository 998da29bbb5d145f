// The reader's fast paths against plain references: the byte scans (16 bytes at a
// time where SSE2 is there) for every byte value at every place of a window, and the
// control word lookup for names around the 8-, 16- and 32-letter edges.
#include <gtest/gtest.h>

#include <string>

#include "byte_scan.h"
#include "rtf_keywords.h"

namespace {

bool IsSyntax(unsigned char c) { return c == '{' || c == '}' || c == '\\'; }

// The references, one byte at a time.
size_t DataLength(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && !IsSyntax(static_cast<unsigned char>(s[i]))) ++i;
  return i;
}
size_t TextLength(const std::string& s) {
  size_t i = 0;
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (!((c >= 0x20 && c <= 0x7F && !IsSyntax(c)) || c == '\t')) break;
  }
  return i;
}
size_t PlainLength(const std::string& s, bool& space) {
  size_t i = 0;
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const bool markup = c == '<' || c == '>' || c == '&' || c == '"';
    if (c > 0x20 && c < 0x7F && !markup) {
      space = false;
    } else if (c == ' ' && !space) {
      space = true;
    } else {
      break;
    }
  }
  return i;
}

TEST(IrunScan, EveryByteValueStopsTheScansWhereTheReferenceDoes) {
  // A 40-byte window of "a" and single spaces with one byte replaced, at each place:
  // the stop may fall in the first 16-byte step, the second, or the byte-wise tail.
  for (int value = 0; value < 256; ++value) {
    for (size_t at = 0; at < 40; ++at) {
      std::string s;
      for (size_t i = 0; i < 40; ++i) s.push_back(i % 3 == 2 ? ' ' : 'a');
      s[at] = static_cast<char>(value);
      const char* const begin = s.data();
      const char* const end = begin + s.size();
      const std::string where = "byte " + std::to_string(value) + " at " + std::to_string(at);
      EXPECT_EQ(static_cast<size_t>(irun::SkipData(begin, end) - begin), DataLength(s)) << where;
      EXPECT_EQ(static_cast<size_t>(irun::ScanTextBytes(begin, end) - begin), TextLength(s))
          << where;
      for (bool before : {false, true}) {
        bool space = before;
        bool expectedSpace = before;
        EXPECT_EQ(static_cast<size_t>(irun::ScanPlainHtml(begin, end, space) - begin),
                  PlainLength(s, expectedSpace))
            << where << (before ? " after a space" : "");
        EXPECT_EQ(space, expectedSpace) << where;
      }
    }
  }
}

TEST(IrunScan, DoubleSpacesStopThePlainScanAcrossSteps) {
  const std::string cases[] = {
      std::string(15, 'a') + "  b",        // the pair straddles the first step
      std::string(16, 'a') + " " + std::string(15, 'b') + "  c",
      "  lead", " ", std::string(31, 'x') + " ",
  };
  for (const std::string& s : cases) {
    for (bool before : {false, true}) {
      bool space = before;
      bool expectedSpace = before;
      EXPECT_EQ(static_cast<size_t>(irun::ScanPlainHtml(s.data(), s.data() + s.size(), space) -
                                    s.data()),
                PlainLength(s, expectedSpace))
          << '"' << s << '"' << before;
      EXPECT_EQ(space, expectedSpace) << '"' << s << '"';
    }
  }
}

// Reads the control word at the start of `text` as the reader does.
irun::KeywordEntry Lookup(const std::string& text, size_t* consumed = nullptr) {
  irun::KeywordName name;
  const char* p = text.data();
  name.Read(p, text.data() + text.size());
  if (consumed) *consumed = static_cast<size_t>(p - text.data());
  return irun::FindKeyword(name);
}

TEST(IrunKeywords, NamesAreFoundWholeAndOnlyWhole) {
  struct Case {
    const char* name;
    irun::Keyword id;
  };
  const Case cases[] = {
      {"par", irun::Keyword::kPar},
      {"pard", irun::Keyword::kPard},
      {"pa", irun::Keyword::kUnknown},
      {"parx", irun::Keyword::kUnknown},
      {"PAR", irun::Keyword::kUnknown},  // control words are lower case
      {"u", irun::Keyword::kU},
      {"nosupersub", irun::Keyword::kNosupersub},          // over eight letters
      {"nosupersuc", irun::Keyword::kUnknown},             // differs in the ninth word part
      {"colorschememapping", irun::Keyword::kSkipDestination},  // 18 letters
      {"colorschememappinh", irun::Keyword::kUnknown},
      {"colorschememap", irun::Keyword::kUnknown},
      {"nesttableprops", irun::Keyword::kNesttableprops},
  };
  for (const Case& c : cases) {
    // Alone at the end of the input, and followed by more than 16 bytes.
    for (const std::string& text :
         {std::string(c.name), std::string(c.name) + "12 and some more text after it"}) {
      size_t consumed = 0;
      EXPECT_EQ(Lookup(text, &consumed).id, c.id) << text;
      EXPECT_EQ(consumed, std::string(c.name).size()) << text;
    }
    EXPECT_EQ(irun::FindKeyword(std::string_view(c.name)).id, c.id) << c.name;
  }
}

TEST(IrunKeywords, LongNamesAreCutAtThirtyTwoLetters) {
  // A known name padded past 32 letters never matches, and the letters are all read.
  const std::string longName = "colorschememapping" + std::string(20, 'x');
  size_t consumed = 0;
  EXPECT_EQ(Lookup(longName + " x", &consumed).id, irun::Keyword::kUnknown);
  EXPECT_EQ(consumed, longName.size());
  EXPECT_TRUE(Lookup("shppict").destination);
  EXPECT_FALSE(Lookup("b").destination);
  EXPECT_EQ(Lookup("emdash").value, 0x2014);
}

}  // namespace
