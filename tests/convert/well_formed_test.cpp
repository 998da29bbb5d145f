// HTML mended into well-formed XML, and well-formed XML left alone.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "convert/well_formed.h"

#ifndef _WIN32
#include <cstdio>
#endif

namespace {

WideString Mended(WideString html) {
  MakeWellFormed(html);
  return html;
}

std::string Narrow(const WideString& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

struct Case {
  const char16_t* html;
  const char16_t* mended;  // null: unchanged
};

const Case kCases[] = {
    // Already well-formed: kept byte for byte.
    {u"<div style=\"a\">x &amp; y</div>", nullptr},
    {u"<P><A HREF=\"u\" TITLE='t [it&#39;s]'>a</A></P>", nullptr},
    {u"<a title='say \"hi\"'>x</a><br/><br />", nullptr},
    {u"<!-- c --><![CDATA[a < b]]>&#8226;&#x1F600;&lt;&gt;&quot;&apos;", nullptr},
    {u"<div>x</div >", nullptr},
    // Empty elements close themselves.
    {u"a<br>b<img src=\"x\" >", u"a<br/>b<img src=\"x\" />"},
    {u"<hr width=2></br>", u"<hr width=\"2\"/>"},
    // Attributes: quoted, named as XML names them, once each.
    {u"<a href=x?a=1&b=2>l</a>", u"<a href=\"x?a=1&amp;b=2\">l</a>"},
    {u"<input disabled>", u"<input disabled=\"disabled\"/>"},
    {u"<p a=\"1\" a=\"2\" 1b=3 c='<&'>", u"<p a=\"1\" c='&lt;&amp;'></p>"},
    {u"<p / a=\"1\">x</p>", u"<p a=\"1\">x</p>"},
    // References.
    {u"a & b &nbsp;&bull;&bogus; &#0; &#xZ; &#65;", u"a &amp; b &#160;&#8226;&amp;bogus; &#65533; &amp;#xZ; &#65;"},
    // A "<" that starts nothing is text; "]]>" may not stand in text.
    {u"a < b <3 x]]>y", u"a &lt; b &lt;3 x]]&gt;y"},
    {u"tail <b", u"tail &lt;b"},
    {u"<a title=\"open>x", u"&lt;a title=\"open>x"},
    // End tags close what was opened after them; stray ones go; the rest is closed.
    {u"<b><i>x</b>y</i>", u"<b><i>x</i></b>y"},
    {u"</p>x<P>y</p><div>z", u"x<P>y</P><div>z</div>"},
    {u"<li>a<li>b", u"<li>a</li><li>b</li>"},
    {u"<table><tr><td>a<td>b<tr><td>c</table>",
     u"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"},
    // Comments without "--"; declarations and processing instructions go.
    {u"<!-- a -- b --->", u"<!-- a - - b - -->"},
    {u"<!DOCTYPE html><?xml version=\"1.0\"?><p>x</p>", u"<p>x</p>"},
    {u"<!-- open", u"&lt;!-- open"},
    // Script and style hold text.
    {u"<script>if (a < b && c) x();</script>z", u"<script>if (a &lt; b &amp;&amp; c) x();</script>z"},
    {u"<STYLE>p > a {}", u"<STYLE>p > a {}</STYLE>"},
};

TEST(MakeWellFormed, MendsWhatXmlCannotReadAndKeepsTheRest) {
  for (const Case& c : kCases) {
    const WideString expected = c.mended ? c.mended : c.html;
    EXPECT_EQ(Narrow(Mended(c.html)), Narrow(expected)) << Narrow(c.html);
    EXPECT_EQ(Mended(expected), expected) << "mending twice changes more: " << Narrow(expected);
  }
}

#ifndef _WIN32
// Random soup of the pieces that matter, each result checked by xmllint inside one
// document (one process for all of them).
TEST(MakeWellFormed, RandomHtmlBecomesXmlThatXmllintReads) {
#ifndef Y2E_XMLLINT
  GTEST_SKIP() << "no xmllint here";
#else
  const std::vector<WideString> pieces = {
      u"<", u">", u"&", u";", u"\"", u"'", u"=", u"/", u" ", u"a", u"b", u"<b>", u"</b>", u"<i>",
      u"</i>", u"<br>", u"<p>", u"</p>", u"<li>", u"<td>", u"<tr>", u"<!--", u"-->", u"--",
      u"<![CDATA[", u"]]>", u"<!DOCTYPE", u"<?", u"?>", u"&nbsp;", u"&#", u"x;", u"&amp;",
      u"<a href=", u"<img src=\"", u"<script>", u"</script>", u"\u0416", u"x=\"1\"", u"</"};
  std::mt19937 rng(7);
  std::string document = "<all>";
  for (int round = 0; round < 3000; ++round) {
    WideString html;
    for (int i = std::uniform_int_distribution<int>(0, 24)(rng); i > 0; --i)
      html += pieces[rng() % pieces.size()];
    const WideString mended = Mended(html);
    ASSERT_EQ(Mended(mended), mended) << Narrow(html);
    document += "<r>" + Narrow(mended) + "</r>\n";
  }
  document += "</all>";
  const std::string path = testing::TempDir() + "well-formed.xml";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(document.data(), 1, document.size(), file);
  std::fclose(file);
  const std::string command = std::string(Y2E_XMLLINT) + " --noout --nonet " + path + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  EXPECT_EQ(pclose(pipe), 0) << output.substr(0, 2000);
  std::remove(path.c_str());
#endif
}
#endif

}  // namespace
