// Note markup made ENML: host HTML code case by case, and everything the pipeline makes
// (these cases, the converter's golden documents after the clean-up, random HTML)
// validated by xmllint against Evernote's ENML 2 DTD where ../shared holds it.
#include "convert/enml.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "convert/html_cleanup.h"
#include "convert/well_formed.h"
#include "irun/irun_core.h"
#include "testbed/demo_host/sample_page.h"
#include "text/code_pages.h"

namespace {

WideString NoteMarkup(WideString html, const std::vector<std::string>& media = {}) {
  MakeWellFormed(html);
  MakeEnml(html, media);
  return html;
}

std::string Utf8(const WideString& text) { return WideToUtf8(text); }

struct Case {
  const char16_t* html;
  const char16_t* enml;
};

const Case kHostCode[] = {
    // Names in lower case; attributes ENML does not declare, or the service refuses, go.
    {u"<P ALIGN=center CLASS=x ID=y onclick=\"f()\" data-x=1>Hi</P>", u"<p align=\"center\">Hi</p>"},
    {u"<A HREF='http://x' TARGET=_blank tabindex=2 accesskey=k xmlns:o=u>t</A>",
     u"<a href='http://x' target=\"_blank\">t</a>"},
    {u"<span style=\"a\" STYLE=\"b\" xml:lang=de lang=de>s</span>",
     u"<span style=\"a\" xml:lang=\"de\" lang=\"de\">s</span>"},
    {u"<pre xml:space=\"preserve\" width=8>x</pre><UL><LI>i</UL>",
     u"<pre width=\"8\">x</pre><ul><li>i</li></ul>"},
    // Code and presentation go with their content; other containers keep their text.
    {u"<html><head><title>T</title><style>p{}</style><script>x()</script><meta charset=u>"
     u"</head><body><noscript>n</noscript><p>a</p></body></html>",
     u"<p>a</p>"},
    {u"<form action=x><label>L</label><button>B</button><input value=v><select><option>O"
     u"</select><iframe src=x>F</iframe></form>",
     u"LBOF"},
    {u"<p class=MsoNormal>W<o:p></o:p><st1:place>P</st1:place></p>", u"<p>WP</p>"},
    // Addresses that run code or carry documents go; the link's text stays.
    {u"<a href=\"javascript:alert(1)\">j</a><a href=\" JaVa&#x09;script:x\">k</a>"
     u"<a href=vbscript:x>v</a><a href=\"data:text/html,x\">d</a><q cite=\"javascript:x\">q</q>",
     u"<a>j</a><a>k</a><a>v</a><a>d</a><q>q</q>"},
    // Pictures from elsewhere become links to them, named by alt text or file name.
    {u"<img src=\"http://x/a/logo.png?s=1\" alt=\"Logo\"><img src='http://x/b.gif'>",
     u"<a href=\"http://x/a/logo.png?s=1\">Logo</a><a href='http://x/b.gif'>b.gif</a>"},
    {u"<a href=\"u\"><img src=\"p.png\" alt=\"P\"></a><img src=\"data:image/png;base64,AA\" "
     u"alt=\"d]]>\"><img src=\"javascript:x\"><img>",
     u"<a href=\"u\">P</a>d]]&gt;"},
    // Evernote's own elements: only the note's own media, valid to-dos, text-only crypt.
    {u"<en-media type=\"image/png\" hash=\"abc\"></en-media><en-media type=\"image/png\" "
     u"hash=\"f00\"/><en-media hash=\"abc\"/><en-note>n</en-note>",
     u"<en-media type=\"image/png\" hash=\"abc\"/>n"},
    {u"<en-todo checked=\"yes\">x</en-todo><en-todo checked=\"true\"/>"
     u"<en-crypt hint=\"h\">ab<b>c</b></en-crypt>",
     u"<en-todo/>x<en-todo checked=\"true\"/><en-crypt hint=\"h\">abc</en-crypt>"},
    // Comments go, CDATA becomes text, characters XML forbids are left out.
    {u"<!-- c --><![CDATA[a<b&c]]>x\u0001y<b title=\"t\u0002\">z</b>",
     u"a&lt;b&amp;cxy<b title=\"t\">z</b>"},
    // Headings stay headings.
    {u"<H1 style=\"x\">T<b>b</b></H1><h6 align=left>s</h6>", u"<h1 style=\"x\">T<b>b</b></h1><h6 align=\"left\">s</h6>"},
    // What the pipeline writes itself stays as it is.
    {u"<p><a href=\"yarrin://n?1\" title=\"C:\\a.yar [N]\">N (d, i)</a></p><a name=\"x\">"
     u"<font color=\"orange\">&#8226;</font></a>",
     nullptr},
};

TEST(MakeEnml, HostCodeBecomesEnml) {
  for (const Case& c : kHostCode) {
    const WideString expected = c.enml ? c.enml : c.html;
    const WideString enml = NoteMarkup(c.html, {"abc"});
    EXPECT_EQ(Utf8(enml), Utf8(expected)) << Utf8(c.html);
    EXPECT_EQ(NoteMarkup(enml, {"abc"}), enml) << "a second pass changes more";
  }
}

#ifdef Y2E_XMLLINT
// Evernote's DTDs, where ../shared holds them.
std::string DtdFolder() {
  const std::string folder = Y2E_SHARED_DIR "/enex-dtd/";
  return std::ifstream(folder + "enml2.dtd").good() ? folder : std::string();
}

// xmllint's complaints about each content (one en-note, each in a div of its own line,
// so that a complaint names the line); empty when all validate.
std::string EnmlErrors(const std::vector<WideString>& contents, const std::string& dtds) {
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
  for (const WideString& content : contents) note << "<div>" << Utf8(content) << "</div>\n";
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

#define SKIP_WITHOUT_DTDS(dtds)                                        \
  const std::string dtds = DtdFolder();                                \
  if (dtds.empty()) GTEST_SKIP() << "../shared/enex-dtd is not here"

TEST(MakeEnml, EveryDeclaredElementAndAttributeValidates) {
  SKIP_WITHOUT_DTDS(dtds);
  // Each element with every attribute the writer keeps for it: none may be undeclared.
  std::vector<WideString> contents;
  for (const char16_t* name :
       {u"a", u"abbr", u"acronym", u"address", u"area", u"b", u"bdo", u"big", u"blockquote",
        u"br", u"caption", u"center", u"cite", u"code", u"col", u"colgroup", u"dd", u"del",
        u"dfn", u"div", u"dl", u"dt", u"em", u"en-crypt", u"en-media", u"en-todo", u"font",
        u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"hr", u"i", u"img", u"ins", u"kbd", u"li",
        u"map", u"ol", u"p", u"pre", u"q", u"s", u"samp", u"small", u"span", u"strike",
        u"strong", u"sub", u"sup", u"table", u"tbody", u"td", u"tfoot", u"th", u"thead", u"tr",
        u"tt", u"u", u"ul", u"var"}) {
    const char16_t* attributes = EnmlAttributes(name);
    ASSERT_NE(attributes, nullptr) << Utf8(name);
    WideString element = u"<" + WideString(name);
    const WideView list = attributes;
    for (size_t at = 0; at < list.size();) {
      const size_t blank = list.find(u' ', at);
      element += u" " + WideString(list.substr(at, blank - at)) + u"=\"true\"";
      at = blank + 1;
    }
    contents.push_back(element + u"/>");
  }
  EXPECT_EQ(EnmlAttributes(u"en-note"), nullptr);
  EXPECT_EQ(EnmlAttributes(u"script"), nullptr);
  EXPECT_EQ(EnmlErrors(contents, dtds), "");
}

// The converter's documents (its golden cases' expected HTML) through the whole clean-up.
std::vector<WideString> GoldenNoteBodies() {
  std::vector<WideString> bodies;
  for (const char* file :
       {"character_formatting", "characters", "fields", "groups_and_destinations", "headings",
        "lists", "paragraph_formatting", "pictures", "regressions", "tables",
        "unicode_and_code_pages"}) {
    std::ifstream in(std::string(Y2E_SOURCE_DIR "/tests/irun/golden/") + file + ".txt");
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    const std::string fence(32, '`');
    for (size_t at = text.find(fence); at != std::string::npos;) {
      const size_t end = text.find("\n" + fence, at + fence.size());
      if (end == std::string::npos) break;
      const std::string block = text.substr(at, end - at);
      const size_t dot = block.find("\n.\n");
      if (dot != std::string::npos) {
        WideString body = u"<body >" + BytesToWide(block.substr(dot + 3), kCodePageUtf8) +
                          u"</body>";
        ConvertBookmarks(body);
        LinkifyUrls(body);
        ExtractBodyContent(body);
        bodies.push_back(NoteMarkup(u"<p>" + body + u"</p>"));
      }
      at = text.find(fence, end + fence.size() + 1);
    }
  }
  return bodies;
}

// The demo's page as the send makes it: the project's converter (as irun.dll calls it),
// then the clean-up; its picture, without the Windows drawing code, stays a reference.
WideString DemoPageBody() {
  irun::ConvertOptions options;
  options.backgroundColor.clear();
  std::string html;
  irun::ConvertRtfToString(kSamplePage, sizeof kSamplePage - 1, options, html, nullptr);
  WideString body = BytesToWide(html, kCodePageUtf8);
  ConvertBookmarks(body);
  LinkifyUrls(body);
  ExtractBodyContent(body);
  return NoteMarkup(u"<p>" + body + u"</p>");
}

TEST(MakeEnml, PipelineOutputValidates) {
  SKIP_WITHOUT_DTDS(dtds);
  std::vector<WideString> contents = GoldenNoteBodies();
  ASSERT_GT(contents.size(), 50u);
  const WideString demo = DemoPageBody();
  EXPECT_NE(demo.find(u"Weekly planning"), WideString::npos);
  contents.push_back(demo);
  for (const Case& c : kHostCode) contents.push_back(NoteMarkup(c.html, {"abc"}));
  // Random HTML made of what hosts and Word write, mended, then made ENML.
  const std::vector<WideString> pieces = {
      u"<", u">", u"&", u"\"", u"'", u"=", u"/", u" ", u"a", u"<b>", u"</b>", u"<P>", u"</p>",
      u"<li>", u"<td>", u"<tr>", u"<table>", u"<!--", u"-->", u"<![CDATA[", u"]]>", u"<?", u"&nbsp;",
      u"&#1;", u"<A HREF=", u"\"javascript:x\"", u"<img src=\"", u"http://x/y.png", u"alt=",
      u"<script>", u"</script>", u"<style>", u"<o:p>", u"</o:p>", u"<html>", u"<body>",
      u"<en-media hash=\"abc\" type=\"t\"", u"<en-todo checked=", u"<en-crypt>", u"</en-crypt>",
      u"<en-note>", u"class=", u"id=", u"onload=", u"xml:space=", u"<pre>", u"<FONT COLOR=red>",
      u"\u0001", u"\u0416", u"\xD800", u"<div xmlns:v=", u"<v:shape>", u"<title>", u"<form>"};
  std::mt19937 rng(18);
  for (int round = 0; round < 3000; ++round) {
    WideString html;
    for (int i = std::uniform_int_distribution<int>(0, 24)(rng); i > 0; --i)
      html += pieces[rng() % pieces.size()];
    contents.push_back(NoteMarkup(html, {"abc"}));
  }
  EXPECT_EQ(EnmlErrors(contents, dtds).substr(0, 3000), "");
}
#endif

}  // namespace
