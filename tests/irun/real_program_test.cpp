// RTF written by pandoc (tests/irun/make_pandoc_samples.sh): what a reader sees of the
// HTML must be exactly the source text, in every script. Headings, as pandoc and
// LibreOffice (make_office_samples.sh) mark them, stay headings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(IrunPandoc, HeadingsKeepTheirText) { ExpectSampleText("headings"); }

// The names of the body's block start tags, in order.
std::vector<std::string> BlockTags(const std::string& body) {
  std::vector<std::string> tags;
  for (size_t i = body.find('<'); i != std::string::npos; i = body.find('<', i + 1)) {
    const size_t end = body.find_first_of(" >", i);
    const std::string name = body.substr(i + 1, end - i - 1);
    if (name == "div" || (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6'))
      tags.push_back(name);
  }
  return tags;
}

TEST(IrunRealPrograms, HeadingsBecomeHeadingElementsWithTheirFormatting) {
  struct Case {
    const char* file;  // pandoc marks headings by outline level, LibreOffice by style
    std::vector<std::string> blocks;
    const char* piece;
  } cases[] = {
      {"pandoc/headings.rtf",
       {"h1", "div", "h2", "h3", "h4", "h5", "h6", "div"},
       "<h2 style=\"margin-bottom:12px\"><span style=\"font-family:Helvetica,sans-serif;"
       "font-size:16pt\"><b>Second level with bold and <i>italic</i></b></span></h2>"},
      {"office/headings.rtf",
       {"h1", "div", "h2", "h3", "div"},
       "<h2 style=\"margin-top:13px;margin-bottom:8px\"><span style=\"font-family:'DejaVu "
       "Serif',serif;font-size:18pt\"><b>Second level with <i>italic</i></b></span></h2>"},
  };
  for (const Case& c : cases) {
    const std::string body = BodyOf(ConvertForTest(ReadFileBytes(TestDataPath(c.file))));
    EXPECT_EQ(BlockTags(body), c.blocks) << c.file << "\n" << body;
    EXPECT_NE(body.find(c.piece), std::string::npos) << c.file << "\n" << body;
  }
}

TEST(IrunPandoc, FormattingBecomesMarkup) {
  const std::string body = BodyOf(ConvertForTest(ReadFileBytes(TestDataPath("pandoc/formatting.rtf"))));
  for (const char* piece :
       {"<b>bold</b>", "<i>italic</i>", "<b><i>both</i></b>", "<s>struck</s>",
        "<a href=\"https://example.org/a?b=1&amp;c=2\"><span style=\"font-family:Helvetica,"
        "sans-serif\"><u>link to the site</u></span></a>",
        // The document's default font, and the code's own
        "<span style=\"font-family:Helvetica,sans-serif\">A paragraph with",
        "<span style=\"font-family:Courier,monospace\">code</span>",
        "a &lt; b &gt; c &amp; &quot;quotes&quot;", "x<sup>2</sup>", "H<sub>2</sub>O"}) {
    EXPECT_NE(body.find(piece), std::string::npos) << piece << "\nin\n" << body;
  }
}

}  // namespace
