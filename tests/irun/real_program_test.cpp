// RTF written by pandoc (tests/irun/make_pandoc_samples.sh): what a reader sees of the
// HTML must be exactly the source text, in every script.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

void ExpectSampleText(const std::string& name) {
  const std::string rtf = ReadFileBytes(TestDataPath("pandoc/" + name + ".rtf"));
  const std::string expected = ReadFileBytes(TestDataPath("pandoc/" + name + ".txt"));
  ASSERT_FALSE(rtf.empty()) << name;
  ASSERT_FALSE(expected.empty()) << name;
  EXPECT_EQ(VisibleText(ConvertForTest(rtf)), expected) << name;
}

TEST(IrunPandoc, LatinCyrillicGreekCjkAndEmojiTextSurvive) { ExpectSampleText("scripts"); }

TEST(IrunPandoc, FormattedTextLinksAndListsKeepTheirText) { ExpectSampleText("formatting"); }

TEST(IrunPandoc, FormattingBecomesMarkup) {
  const std::string body = BodyOf(ConvertForTest(ReadFileBytes(TestDataPath("pandoc/formatting.rtf"))));
  for (const char* piece :
       {"<b>bold</b>", "<i>italic</i>", "<b><i>both</i></b>", "<s>struck</s>",
        "<a href=\"https://example.org/a?b=1&amp;c=2\"><u>link to the site</u></a>",
        "a &lt; b &gt; c &amp; &quot;quotes&quot;", "x<sup>2</sup>", "H<sub>2</sub>O"}) {
    EXPECT_NE(body.find(piece), std::string::npos) << piece << "\nin\n" << body;
  }
}

}  // namespace
