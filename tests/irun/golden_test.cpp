// Golden cases: each file under golden/ holds examples of one feature, RTF in and the
// expected body of the HTML out. Every document is also held to the output contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "irun_core.h"
#include "irun_marker.h"
#include "test_support.h"

namespace {

TEST(IrunGolden, EveryExampleGivesItsExpectedBody) {
  const std::vector<GoldenCase> cases = AllGoldenCases();
  ASSERT_GE(cases.size(), 60u) << "golden files not found under " << TestDataPath("golden");
  irun::ConvertOptions keepPictures;
  keepPictures.keepPictures = true;
  for (const GoldenCase& c : cases) {
    const std::string html = ConvertForTest(c.rtf);
    EXPECT_EQ(BodyOf(html), c.expected) << c.file << ":" << c.line << " (" << c.name << ")";
    // Collecting pictures changes nothing in the document.
    EXPECT_EQ(ConvertForTest(c.rtf, keepPictures), html) << c.file << ":" << c.line;
  }
}

TEST(IrunGolden, EveryDocumentKeepsTheOutputContract) {
  for (const GoldenCase& c : AllGoldenCases()) {
    const std::string where = c.file + ":" + std::to_string(c.line);
    const std::string html = ConvertForTest(c.rtf);
    EXPECT_TRUE(std::all_of(html.begin(), html.end(),
                            [](char ch) { return ch > 0 && ch < 0x7F; }))
        << where << ": output is not printable ASCII";
    EXPECT_NE(html.find(IRUN_CONVERTER_MARKER_COMMENT), std::string::npos) << where;
    const size_t body = html.find("<body");
    ASSERT_NE(body, std::string::npos) << where;
    EXPECT_EQ(html.find("<body", body + 1), std::string::npos) << where;
    EXPECT_NE(html.find("</body>", body), std::string::npos) << where;
    EXPECT_EQ(html.find("<span></span>"), std::string::npos) << where;
  }
}

}  // namespace

namespace {

TEST(IrunOptions, TheCallersConstantsShapeTheDocument) {
  const std::string rtf =
      "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier;}}\\li1440\\fs24 a\\fs32 b\\f1 c\\par}";
  irun::ConvertOptions options;  // 16 px, "FFFFFF", no flags, 96 dpi
  std::string html = ConvertForTest(rtf, options);
  EXPECT_NE(html.find("<body bgcolor=\"#FFFFFF\">"), std::string::npos);
  EXPECT_EQ(BodyOf(html),
            "<div style=\"margin-left:96px;font-family:Arial\">a<span style=\"font-size:16pt\">b"
            "</span><span style=\"font-family:Courier;font-size:16pt\">c</span></div>");

  options.baseFontPixels = 21;  // 16 pt at 96 dpi is normal now, 12 pt is not
  options.dotsPerInch = 192;    // 16 pt is 43 px here: the size is written again
  options.backgroundColor = "1a2B3c";
  options.flags = irun::kOmitFontFaces;
  html = ConvertForTest(rtf, options);
  EXPECT_NE(html.find("<body bgcolor=\"#1a2B3c\">"), std::string::npos);
  EXPECT_EQ(BodyOf(html),
            "<div style=\"margin-left:192px\"><span style=\"font-size:12pt\">a</span>"
            "<span style=\"font-size:16pt\">bc</span></div>");
}

TEST(IrunOptions, ABackgroundThatIsNotSixHexDigitsIsLeftOut) {
  for (const char* color : {"", "FFFFF", "FFFFFFF", "GGGGGG", "FF\"> x"}) {
    irun::ConvertOptions options;
    options.backgroundColor = color;
    EXPECT_NE(ConvertForTest("{\\rtf1 x}", options).find("<body>"), std::string::npos) << color;
  }
}

TEST(IrunOptions, PicturesAreCounted) {
  irun::ConvertStats stats;
  ConvertForTest("{\\rtf1{\\pict\\pngblip 00}{\\*\\shppict{\\pict 00}}{\\nonshppict{\\pict 00}}"
                 "{\\v{\\pict 00}}}",
                 irun::ConvertOptions(), &stats);
  EXPECT_EQ(stats.pictureCount, 2);
}

}  // namespace

namespace {

// A paragraph's start tag is written anew for properties that change before its end
// only while the output still holds the tag. That must depend on the paragraph's length
// alone, never on where the sink's buffer or a memory block happens to end.
TEST(IrunParagraphLook, HowFarBackALookChangesDependsOnTheParagraphAlone) {
  for (size_t before : {0u, 58u}) {  // paragraphs of 1,000 letters before it: 64 KB is crossed
    for (size_t words : {100u, 1000u, 1500u, 3000u, 20000u}) {
      std::string rtf = "{\\rtf1\\ansi ";
      for (size_t i = 0; i < before; ++i) rtf += std::string(1000, 'x') + "\\par ";
      for (size_t i = 0; i < words; ++i) rtf += "word\\'e9 ";  // 12 bytes of output each
      rtf += "\\qc\\par}";
      const std::string streamed = ConvertForTest(rtf);
      irun::HtmlChunks chunks;
      ASSERT_TRUE(irun::ConvertRtfToChunks(rtf.data(), rtf.size(), irun::ConvertOptions(),
                                           chunks, nullptr));
      std::string kept(chunks.Size(), '\0');
      chunks.CopyTo(kept.data());
      EXPECT_TRUE(kept == streamed) << before << " before, " << words << " words: the kept "
                                    << "document differs from the streamed one";
      const std::string body = BodyOf(streamed);
      const std::string last = body.substr(body.rfind('\n') + 1);
      // Up to 16 KB of paragraph the centring reaches back to its start; beyond, it is lost.
      const bool centred = words * 12 <= 16384;
      EXPECT_EQ(last.rfind(centred ? "<div style=\"text-align:center\">word&#233; " : "<div>word", 0),
                0u)
          << before << " before, " << words << " words: " << last.substr(0, 40);
    }
  }
}

}  // namespace
