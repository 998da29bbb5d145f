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
       "<h2 style=\"margin-bottom:12px;font-family:Helvetica,sans-serif\"><span style=\""
       "font-size:16pt\"><b>Second level with bold and <i>italic</i></b></span></h2>"},
      {"office/headings.rtf",
       {"h1", "div", "h2", "h3", "div"},
       "<h2 style=\"margin-top:13px;margin-bottom:8px;font-family:'DejaVu Serif',serif\">"
       "<span style=\"font-size:18pt\"><b>Second level with <i>italic</i></b></span></h2>"},
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
        "<a href=\"https://example.org/a?b=1&amp;c=2\"><u>link to the site</u></a>",
        // The document's default font on the paragraph, and the code's own
        "<div style=\"margin-bottom:12px;font-family:Helvetica,sans-serif\">A paragraph with",
        "<span style=\"font-family:Courier,monospace\">code</span>",
        "a &lt; b &gt; c &amp; &quot;quotes&quot;", "x<sup>2</sup>", "H<sub>2</sub>O"}) {
    EXPECT_NE(body.find(piece), std::string::npos) << piece << "\nin\n" << body;
  }
}

}  // namespace

namespace {

// What LibreOffice shows of its own RTF, and what a source highlighter's listing looks
// like, arrives: text boxes, picture shapes, placeholders, shading, the page's default
// font, headings in an outline without numbers at their own size.
TEST(IrunRealPrograms, ShapesPlaceholdersShadingAndFontsArrive) {
  struct Case {
    const char* file;
    std::vector<const char*> pieces;
    std::vector<const char*> absent;
  } cases[] = {
      {"office/shapes.rtf",
       {"<div style=\"font-family:'Courier New',monospace\"><span style=\"font-size:10pt\">Card "
        "front",
        ">Designed by Ann Example<", ">Printed on recycled card<",
        "<img src=\"_img_1.png\" width=\"40\" height=\"30\">A floating picture: after it.",
        ">Dear Title Recipient's name, welcome.<",
        "<div style=\"background-color:#E0E8FF;font-family:'Courier New',monospace\"><span "
        "style=\"font-size:10pt\">int main() { return 0; }",
        "<div style=\"background-color:#FFFFCC;font-family:'Courier New',monospace\">"},
       {"_img_2"}},  // the shape's fill is the same picture again: not shown
      {"office/outline.rtf",
       {"<h1 style=\"font-family:'DejaVu Serif',serif\"><span style=\"font-size:12pt\"><b>Plain "
        "first heading</b></span></h1>",
        "<h2 style=\"font-family:'DejaVu Serif',serif\"><span style=\"font-size:12pt\"><i>Plain "
        "second heading</i></span></h2>",
        "<ul>\n<li style=\"font-family:'DejaVu Serif',serif\">A real bullet</li>"},
       {"<li><h", "<ol"}},
      {"highlighter/listing.rtf",
       {"<div style=\"background-color:#E0EAEE;font-family:'Courier New',monospace\"><span "
        "style=\"font-size:10pt\"><span style=\"color:#838183\"><i>/* A listing",
        "<div style=\"background-color:#E0EAEE;font-family:'Courier New',monospace\"><span "
        "style=\"font-size:10pt\">&#160;&#160;&#160;&#160;<span style=\"color:#000000\">"
        "<b>return</b>"},
       {"<div>", "<div style=\"font"}},  // every line keeps the page colour
  };
  for (const Case& c : cases) {
    const std::string body = BodyOf(ConvertForTest(ReadFileBytes(TestDataPath(c.file))));
    for (const char* piece : c.pieces)
      EXPECT_NE(body.find(piece), std::string::npos) << c.file << ": " << piece << "\n" << body;
    for (const char* piece : c.absent)
      EXPECT_EQ(body.find(piece), std::string::npos) << c.file << ": " << piece << "\n" << body;
  }
}

}  // namespace
