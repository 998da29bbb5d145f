// Everything the clean-up writes validates against Evernote's ENML 2 DTD (xmllint, where
// ../shared holds the DTD): every element with every attribute it keeps, the converter's
// golden documents and the demo page, and random soup of what hosts and Word write.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cleanup/enml_pass.h"
#include "cleanup/enml_rules.h"
#include "irun/irun_core.h"
#include "testbed/demo_host/sample_page.h"
#include "tests/irun/test_support.h"

namespace {

#ifdef Y2E_XMLLINT
std::string DtdFolder() {
  const std::string folder = Y2E_SHARED_DIR "/enex-dtd/";
  return std::ifstream(folder + "enml2.dtd").good() ? folder : std::string();
}

// xmllint's complaints about the contents (one en-note, each in a div on a line of its
// own, so that a complaint names the line); empty when all validate.
std::string EnmlErrors(const std::vector<std::string>& contents, const std::string& dtds) {
  const std::string dir = testing::TempDir();
  std::ofstream catalog(dir + "enml-catalog.xml");
  catalog << "<?xml version=\"1.0\"?>\n<catalog "
             "xmlns=\"urn:oasis:names:tc:entity:xmlns:xml:catalog\">\n";
  for (const char* ent : {"xhtml-lat1.ent", "xhtml-symbol.ent", "xhtml-special.ent"})
    catalog << "<system systemId=\"http://www.w3.org/TR/xhtml1/DTD/" << ent << "\" uri=\"file://"
            << dtds << ent << "\"/>\n";
  catalog << "</catalog>\n";
  catalog.close();
  std::ofstream note(dir + "enml-note.xml", std::ios::binary);
  note << "<en-note>\n";
  for (const std::string& content : contents) note << "<div>" << content << "</div>\n";
  note << "</en-note>\n";
  note.close();
  const std::string command = "XML_CATALOG_FILES=" + dir + "enml-catalog.xml " Y2E_XMLLINT
                              " --noout --nonet --dtdvalid " + dtds + "enml2.dtd " + dir +
                              "enml-note.xml 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "cannot run xmllint";
  std::string output;
  char buffer[512];
  while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  const int status = pclose(pipe);
  return status == 0 ? std::string() : output.empty() ? "xmllint failed" : output;
}

#define SKIP_WITHOUT_DTDS(dtds)         \
  const std::string dtds = DtdFolder(); \
  if (dtds.empty()) GTEST_SKIP() << "../shared/enex-dtd is not here"

TEST(EnmlDtd, EveryElementWithEveryAttributeItKeepsValidates) {
  SKIP_WITHOUT_DTDS(dtds);
  std::vector<std::string> contents;
  int elements = 0;
  for (const char* name :
       {"a", "abbr", "acronym", "address", "area", "b", "bdo", "big", "blockquote", "br",
        "caption", "center", "cite", "code", "col", "colgroup", "dd", "del", "dfn", "div", "dl",
        "dt", "em", "en-crypt", "en-todo", "font", "h1", "h2", "h3", "h4", "h5", "h6", "hr",
        "i", "ins", "kbd", "li", "map", "ol", "p", "pre", "q", "s", "samp", "small", "span",
        "strike", "strong", "sub", "sup", "table", "tbody", "td", "tfoot", "th", "thead", "tr",
        "tt", "u", "ul", "var"}) {
    const ElementRule* rule = FindElementRule(name);
    ASSERT_NE(rule, nullptr) << name;
    std::string element = std::string("<") + name;
    const std::string_view list = rule->attributes;
    for (size_t at = 0; at < list.size();) {
      const size_t blank = list.find(' ', at);
      element += " " + std::string(list.substr(at, blank - at)) + "=\"true\"";
      at = blank + 1;
    }
    // Through the clean-up, which must keep every attribute its table declares.
    const std::string enml = CleanUpHtml(element + "/>");
    EXPECT_EQ(enml, element + "/>");
    contents.push_back(enml);
    ++elements;
  }
  EXPECT_EQ(FindElementRule("en-note"), nullptr);
  EXPECT_EQ(FindElementRule("script")->flags & kEnml, 0);
  EXPECT_EQ(EnmlErrors(contents, dtds), "");
}

TEST(EnmlDtd, PagesHostCodeAndSoupValidate) {
  SKIP_WITHOUT_DTDS(dtds);
  EnmlOptions page;
  page.wholeDocument = page.bookmarks = page.addresses = true;
  page.outerDepth = 1;
  irun::ConvertOptions convert;
  convert.backgroundColor.clear();
  std::vector<std::string> contents;
  std::vector<std::string> rtfs = {kSamplePage};
  for (const GoldenCase& golden : AllGoldenCases()) rtfs.push_back(golden.rtf);
  for (const std::string& rtf : rtfs) {
    std::string html;
    irun::ConvertRtfToString(rtf.data(), rtf.size(), convert, html, nullptr);
    contents.push_back(CleanUpHtml(html, page));
  }
  ASSERT_GT(contents.size(), 50u);
  EXPECT_NE(contents[0].find("Weekly planning"), std::string::npos);
  const std::vector<std::string> pieces = {
      "<", ">", "&", "\"", "'", "=", "/", " ", "a", "<b>", "</b>", "<P>", "</p>", "<li>",
      "<td>", "<tr>", "<table>", "<!--", "-->", "<![CDATA[", "]]>", "<?", "&nbsp;", "&#1;",
      "&#X41;", "<A HREF=", "\"javascript:x\"", "<img src=\"", "http://x/y.png", "alt=",
      "<script>", "</script>", "<style>", "<o:p>", "</o:p>", "<html>", "<body>",
      "<en-media hash=\"abc\" type=\"t\"", "<en-todo checked=", "<en-crypt>", "</en-crypt>",
      "<en-note>", "class=", "id=", "onload=", "xml:space=", "<pre>", "<FONT COLOR=red>",
      "\x01", "\xD0\x96", "\xED\xA0\x80", "\xEF\xBF\xBE", "\xFF", "<div xmlns:v=",
      "<v:shape>", "<title>", "<form>", "<textarea>", "<xmp>", "<button>", "bookmark&lt;",
      "&gt;", "http://", "<br>", "style=\"x:url(", ")\""};
  std::mt19937 rng(18);
  for (int round = 0; round < 3000; ++round) {
    std::string html;
    for (int i = std::uniform_int_distribution<int>(0, 24)(rng); i > 0; --i)
      html += pieces[rng() % pieces.size()];
    contents.push_back(CleanUpHtml(html, round % 2 ? page : EnmlOptions()));
  }
  EXPECT_EQ(EnmlErrors(contents, dtds).substr(0, 3000), "");
}
#endif

}  // namespace
