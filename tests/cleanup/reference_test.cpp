// The one pass against the step-by-step clean-up it replaces: on the converter's golden
// cases, the real programs' samples, the kept faults and a page of many addresses and
// bookmarks, both make the same note (compared in one spelling: the pass writes
// characters where the steps kept references).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cleanup/enml_pass.h"
#include "irun/irun_core.h"
#include "testbed/demo_host/sample_page.h"
#include "tests/cleanup/canonical_xml.h"
#include "tests/cleanup/reference/steps.h"
#include "tests/irun/test_support.h"

namespace {

struct Page {
  std::string name;
  std::string rtf;
};

std::string Converted(const std::string& rtf) {
  irun::ConvertOptions options;
  options.backgroundColor.clear();  // as the plug-in converts
  std::string html;
  irun::ConvertRtfToString(rtf.data(), rtf.size(), options, html, nullptr);
  return html;
}

std::vector<Page> Corpus() {
  std::vector<Page> pages;
  for (const GoldenCase& golden : AllGoldenCases())
    pages.push_back({golden.file + ":" + std::to_string(golden.line), golden.rtf});
  for (const char* sample : {"pandoc/formatting.rtf", "pandoc/headings.rtf", "pandoc/scripts.rtf",
                             "office/headings.rtf", "office/pictures.rtf", "office/shapes.rtf",
                             "office/outline.rtf", "highlighter/listing.rtf"})
    pages.push_back({sample, ReadFileBytes(TestDataPath(sample))});
  for (const auto& entry :
       std::filesystem::directory_iterator(TestDataPath("../fuzz/faults")))
    pages.push_back({entry.path().filename().string(), ReadFileBytes(entry.path().string())});
  pages.push_back({"demo page", kSamplePage});
  // Addresses and bookmarks of every shape, between formatting.
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}";
  for (int i = 0; i < 400; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 8) {
      case 0: rtf += "see http://example.com/page/" + n + " now "; break;
      case 1: rtf += "https://example.org/a?b=" + n + "&c\\line "; break;
      case 2: rtf += "(http://x.y/" + n + ")."; break;
      case 3: rtf += "{\\cf1 http://z/" + n + "} more"; break;
      case 4: rtf += "bookmark<Part" + n + " of the text> "; break;
      case 5: rtf += "bookmark<Mark" + n + ">, "; break;
      case 6: rtf += "{\\b bookmark<Bold" + n + " x>} "; break;
      default: rtf += "http://q/" + n + "\\~and caf\\'e9 \"quoted\" <x> "; break;
    }
    if (i % 5 == 4) rtf += "\\par ";
  }
  pages.push_back({"addresses and bookmarks", rtf + "}"});
  return pages;
}

// Both texts around where they first differ.
std::string FirstDifference(const std::string& one, const std::string& other) {
  size_t at = 0;
  while (at < one.size() && at < other.size() && one[at] == other[at]) ++at;
  const size_t from = at > 60 ? at - 60 : 0;
  return std::to_string(at) + ":\n  " + one.substr(from, 160) + "\n  " + other.substr(from, 160);
}

TEST(OnePass, MakesTheNoteOfTheStepByStepCleanUp) {
  const std::vector<Page> pages = Corpus();
  ASSERT_GT(pages.size(), 110u);
  for (const Page& page : pages) {
    const std::string document = Converted(page.rtf);
    int referenceNames = 0;
    const ByteString reference = ReferencePageContent(
        document, [&] { return "n" + std::to_string(referenceNames++); });
    int names = 0;
    EnmlOptions options;
    options.wholeDocument = options.bookmarks = options.addresses = true;
    options.outerDepth = 1;
    options.newAnchorName = [&] { return "n" + std::to_string(names++); };
    const ByteString content = "<p>" + CleanUpHtml(document, options) + "</p>";
    const std::string one = CanonicalXml(content), other = CanonicalXml(reference);
    EXPECT_EQ(one, other) << page.name << ", first difference at " << FirstDifference(one, other)
                          << "\n" << document.substr(0, 2000);
  }
}

}  // namespace
