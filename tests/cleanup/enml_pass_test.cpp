// The clean-up case by case: host code and the converter's pages made ENML, the faults
// that slipped between the steps it replaces, and for every case the same bytes however
// the input is cut, and nothing more changed by a second pass.
#include "cleanup/enml_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// The page's pictures as the tests know them: _img_1.png is the note's resource "abc",
// _img_2.png cannot be drawn.
class TestPictures : public PictureLookup {
 public:
  Found Find(std::string_view name, Media& media) override {
    if (name == "_img_2.png") return Found::kLeftOut;
    if (name != "_img_1.png") return Found::kNone;
    media = {"image/png", "abc", 10, 20};
    return Found::kMedia;
  }
  bool IsNoteMedia(std::string_view hash) const override { return hash == "abc"; }
};

enum class Kind { kHost, kPage };

EnmlOptions Options(Kind kind, TestPictures& pictures, int& names) {
  EnmlOptions options;
  options.outerDepth = 1;
  options.pictures = &pictures;
  options.newAnchorName = [&names] { return "n" + std::to_string(names++); };
  options.bookmarks = options.addresses = kind == Kind::kPage;
  return options;
}

// html cut into pieces at the given places.
std::string InPieces(std::string_view html, const EnmlOptions& options,
                     const std::vector<size_t>& cuts) {
  std::string enml;
  EnmlPass pass(options, [&](std::string_view bytes) {
    enml.append(bytes.data(), bytes.size());
    return true;
  });
  size_t from = 0;
  for (size_t cut : cuts) {
    pass.Feed(html.substr(from, cut - from));
    from = cut;
  }
  pass.Feed(html.substr(from));
  pass.Finish();
  return enml;
}

struct Case {
  Kind kind;
  const char* html;
  const char* enml;  // null: unchanged
};

const Case kCases[] = {
    // Names in lower case; attributes ENML does not declare, or the service refuses, go;
    // values in double quotes.
    {Kind::kHost, "<P ALIGN=center CLASS=x ID=y onclick=\"f()\" data-x=1>Hi</P>",
     "<p align=\"center\">Hi</p>"},
    {Kind::kHost, "<A HREF='http://x' TARGET=_blank tabindex=2 accesskey=k xmlns:o=u>t</A>",
     "<a href=\"http://x\" target=\"_blank\">t</a>"},
    {Kind::kHost, "<span style=\"a\" STYLE=\"b\" xml:lang=de lang=de>s</span>",
     "<span style=\"a\" xml:lang=\"de\" lang=\"de\">s</span>"},
    {Kind::kHost, "<pre xml:space=\"preserve\" width=8>x</pre><UL><LI>i</UL>",
     "<pre width=\"8\">x</pre><ul><li>i</li></ul>"},
    {Kind::kHost, "<p a=\"1\" a=\"2\" 1b=3 title='<&' title=x>", "<p title=\"&lt;&amp;\"></p>"},
    {Kind::kHost, "<P><A HREF=\"u\" TITLE='t [it&#39;s]'>a</A></P><a title='say \"hi\"'>x</a>",
     "<p><a href=\"u\" title=\"t [it's]\">a</a></p><a title=\"say &quot;hi&quot;\">x</a>"},
    {Kind::kHost, "<a href=x?a=1&b=2>l</a><input disabled><hr width=2></br>",
     "<a href=\"x?a=1&amp;b=2\">l</a><hr width=\"2\"/>"},
    // Code and presentation go with their content; other containers keep their text.
    {Kind::kHost,
     "<html><head><title>T</title><style>p{}</style><script>if (a < b) x()</script><meta "
     "charset=u></head><body><noscript>n</noscript><p>a</p></body></html><STYLE>p > a {}",
     "<p>a</p>"},
    {Kind::kHost, "<p class=MsoNormal>W<o:p></o:p><st1:place>P</st1:place></p>", "<p>WP</p>"},
    // Controls: a button's label stands apart; a text area's text is shown as it stands.
    {Kind::kHost,
     "<form action=x><label>L</label><button>B</button><input value=v><select><option>O"
     "</select><iframe src=x>F</iframe></form>5<button>copy</button>x",
     "L B OF5 copy x"},
    {Kind::kHost, "<textarea><b>x</b> &amp;</textarea><xmp><i>y</i> &amp;</xmp>z",
     "&lt;b&gt;x&lt;/b&gt; &amp;&lt;i&gt;y&lt;/i&gt; &amp;amp;z"},
    // Addresses that run code or carry documents go; the link's text stays. The value is
    // judged as it is written: references decoded, characters XML forbids left out.
    {Kind::kHost,
     "<a href=\"javascript:alert(1)\">j</a><a href=\" JaVa&#x09;script:x\">k</a>"
     "<a href=vbscript:x>v</a><a href=\"data:text/html,x\">d</a><q cite=\"javascript:x\">q</q>",
     "<a>j</a><a>k</a><a>v</a><a>d</a><q>q</q>"},
    {Kind::kHost,
     "<a href=\"java\xEF\xBF\xBEscript:alert(1)\">a</a><a href=\"java\xEF\xBF\xBFscript:x\">b</a>"
     "<a href=\"java\xED\xA0\x80script:x\">c</a><area href=\"java\x01script:x\">"
     "<blockquote cite=\"jav\xEF\xBF\xBE\x61script:x\">q</blockquote>"
     "<img src=\"java\xEF\xBF\xBEscript:x\" alt=\"pic\"><a href=\"java&#xFFFE;script:x\">r</a>",
     "<a>a</a><a>b</a><a>c</a><area/><blockquote>q</blockquote>pic"
     "<a href=\"java\xEF\xBF\xBDscript:x\">r</a>"},
    {Kind::kHost,
     "<a href=\"vbscrip\x7Ft:x\">a</a><a href=\"java\xC2\x85script:x\">b</a><a "
     "href=\"data\xEF\xB7\x90:x\">c</a><p style=\"background:url(java\\7f script:x)\">d</p>",
     "<a>a</a><a>b</a><a>c</a><p>d</p>"},
    {Kind::kHost,
     "<div style=\"background:url(javascript:alert(1))\">s</div><div style=\"background:"
     "u\\72l( jav\\61script:x)\">t</div><p style=\"width:expression(alert(1))\">u</p>"
     "<p style=\"color:red;font-family:'Times New Roman',serif\">v</p>",
     "<div>s</div><div>t</div><p>u</p><p style=\"color:red;font-family:'Times New "
     "Roman',serif\">v</p>"},
    // Pictures from elsewhere become links to them, named by alt text or file name; the
    // page's own become en-media, or go where they cannot be drawn.
    {Kind::kHost, "<img src=\"http://x/a/logo.png?s=1\" alt=\"Logo\"><img src='http://x/b.gif'>",
     "<a href=\"http://x/a/logo.png?s=1\">Logo</a><a href=\"http://x/b.gif\">b.gif</a>"},
    {Kind::kHost,
     "<a href=\"u\"><img src=\"p.png\" alt=\"P\"></a><img src=\"data:image/png;base64,AA\" "
     "alt=\"d]]>\"><img src=\"javascript:x\"><img>",
     "<a href=\"u\">P</a>d]]&gt;"},
    {Kind::kPage, "<img src=\"x bookmark&lt;a b&gt;\">",
     "<a href=\"x bookmark&lt;a b&gt;\">x <a name=\"a\"><font color=\"orange\">\xE2\x80\xA2</font>"
     "</a></a>"},
    {Kind::kPage, "a<img src=\"_img_1.png\" width=\"3\" height=\"4\">b<img src=\"_img_2.png\">c",
     "a<en-media type=\"image/png\" hash=\"abc\" width=\"10\" height=\"20\"/>bc"},
    // Evernote's own elements: only the note's own media, valid to-dos, text-only crypt.
    {Kind::kHost,
     "<en-media type=\"image/png\" hash=\"abc\"></en-media><en-media type=\"image/png\" "
     "hash=\"f00\"/><en-media hash=\"abc\"/><en-note>n</en-note>",
     "<en-media type=\"image/png\" hash=\"abc\"/>n"},
    {Kind::kHost,
     "<en-todo checked=\"yes\">x</en-todo><en-todo checked=\"true\"/>"
     "<en-crypt hint=\"h\">ab<b>c</b></en-crypt>",
     "<en-todo/>x<en-todo checked=\"true\"/><en-crypt hint=\"h\">abc</en-crypt>"},
    // Comments go, CDATA becomes text, references become characters, characters XML
    // forbids are left out, and bytes that are no UTF-8 become U+FFFD.
    {Kind::kHost,
     "<!-- c --><![CDATA[a<b&c]]>x\x01y<b title=\"t\x02\">z</b><!DOCTYPE html><?xml v?>",
     "a&lt;b&amp;cxy<b title=\"t\">z</b>"},
    {Kind::kHost, "a & b &nbsp;&bull;&bogus; &#0; &#xZ; &#65;&#X41;<b title=\"&#X41;&amp\">",
     "a &amp; b \xC2\xA0\xE2\x80\xA2&amp;bogus; \xEF\xBF\xBD &amp;#xZ; AA<b title=\"A&amp;amp\"></b>"},
    {Kind::kHost, "\xFF\xC3(\xE0\x80\xAF\xF0\x9F\x98\x80\xED\xA0\x80x\xC3",
     "\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80x\xEF\xBF\xBD"},
    // A "<" that starts nothing is text; "]]>" never stands in the note, whatever stood
    // between its brackets.
    {Kind::kHost, "a < b <3 x]]>y tail <b", "a &lt; b &lt;3 x]]&gt;y tail &lt;b"},
    {Kind::kHost, "price[i]]<!-- -->> 0 a]]<o:p></o:p>>b c]]<script>x</script>>d",
     "price[i]]&gt; 0 a]]&gt;b c]]&gt;d"},
    {Kind::kHost, "<a title=\"open>x <!-- open", "&lt;a title=\"open&gt;x &lt;!-- open"},
    // End tags close what was opened after them; stray ones go; the rest is closed.
    {Kind::kHost, "<b><i>x</b>y</i></p>z<P>y</p><div>z",
     "<b><i>x</i></b>yz<p>y</p><div>z</div>"},
    {Kind::kHost, "<li>a<li>b<table><tr><td>a<td>b<tr><td>c</table>",
     "<li>a</li><li>b<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table></li>"},
    // What the send writes itself stays as it is.
    {Kind::kHost,
     "<p><a href=\"yarrin://n?1\" title=\"C:\\a.yar [N]\">N (d, i)</a></p><a name=\"x\">"
     "<font color=\"orange\">\xE2\x80\xA2</font></a>",
     nullptr},
    // Bookmarks: the name up to the first blank; a fresh name without one.
    {Kind::kPage, "a bookmark&lt;Intro Chapter one&gt; b",
     "a <a name=\"Intro\"><font color=\"orange\">\xE2\x80\xA2</font></a> b"},
    {Kind::kPage, "bookmark&lt;Intro&gt;bookmark&lt; x&gt;",
     "<a name=\"n0\"><font color=\"orange\">\xE2\x80\xA2</font></a><a name=\"\"><font "
     "color=\"orange\">\xE2\x80\xA2</font></a>"},
    {Kind::kPage, "BOOKMARK&lt;a b&gt; x bookmark&lt;a b bookmark&lt;&gt",
     "BOOKMARK&lt;a b&gt; x bookmark&lt;a b bookmark&lt;&amp;gt"},
    // Formatting may change inside a bookmark (its markup stays); a line or a block
    // ends it, wherever the input is cut.
    {Kind::kPage, "<b>bookmark&lt;<i>Intro</i> more&gt; rest</b>",
     "<b><a name=\"Intro\"><font color=\"orange\">\xE2\x80\xA2</font></a><i></i> rest</b>"},
    {Kind::kPage, "<div>bookmark&lt;a b</div><div>lost?</div><div>c&gt; d</div>x bookmark&lt;y<br>z&gt;",
     "<div>bookmark&lt;a b</div><div>lost?</div><div>c&gt; d</div>x bookmark&lt;y<br/>z&gt;"},
    // Addresses end at a blank, a line break or markup, less what ends their sentence; an
    // accented letter at the end stays in it.
    {Kind::kPage, "see http://x/y. (http://a), https://w.org/A_(b).c?d=1,2 http:// HTTP://X",
     "see <a href=\"http://x/y\" target=\"_blank\">http://x/y</a>. (<a href=\"http://a\" "
     "target=\"_blank\">http://a</a>), <a href=\"https://w.org/A_(b).c?d=1,2\" "
     "target=\"_blank\">https://w.org/A_(b).c?d=1,2</a> <a href=\"http://\" "
     "target=\"_blank\">http://</a> HTTP://X"},
    {Kind::kPage, "https://fr.wikipedia.org/wiki/Caf&#233; ici",
     "<a href=\"https://fr.wikipedia.org/wiki/Caf\xC3\xA9\" target=\"_blank\">"
     "https://fr.wikipedia.org/wiki/Caf\xC3\xA9</a> ici"},
    {Kind::kPage, "http://a&nbsp;(b) &lt;http://c&gt;<b>/d</b> zhttp://e&quot;",
     "<a href=\"http://a\" target=\"_blank\">http://a</a>\xC2\xA0(b) &lt;<a href=\"http://c\" "
     "target=\"_blank\">http://c</a>&gt;<b>/d</b> z<a href=\"http://e\" "
     "target=\"_blank\">http://e</a>\""},
    {Kind::kPage, "<a href=\"http://x\">see http://x</a><!-- http://y -->", "<a href=\"http://x\">see http://x</a>"},
};

class EnmlPassTest : public ::testing::TestWithParam<Case> {};

TEST_P(EnmlPassTest, MakesEnmlWhereverTheInputIsCut) {
  const Case& c = GetParam();
  TestPictures pictures;
  int names = 0;
  const EnmlOptions options = Options(c.kind, pictures, names);
  const std::string expected = c.enml ? c.enml : c.html;
  const std::string whole = InPieces(c.html, options, {});
  EXPECT_EQ(whole, expected);
  const std::string_view html = c.html;
  for (size_t cut = 1; cut < html.size(); ++cut) {
    names = 0;
    ASSERT_EQ(InPieces(html, options, {cut}), whole) << "cut at " << cut;
  }
  std::vector<size_t> everyByte(html.size());
  for (size_t i = 0; i < html.size(); ++i) everyByte[i] = i;
  names = 0;
  EXPECT_EQ(InPieces(html, options, everyByte), whole) << "one byte at a time";
  names = 0;
  EXPECT_EQ(InPieces(whole, options, {}), whole) << "a second pass changes more";
}

INSTANTIATE_TEST_SUITE_P(Cases, EnmlPassTest, ::testing::ValuesIn(kCases));

// How deep elements are nested in well-formed markup.
int Depth(const std::string& xml) {
  int depth = 0, deepest = 0;
  for (size_t i = xml.find('<'); i != std::string::npos; i = xml.find('<', i + 1)) {
    const size_t end = xml.find('>', i);
    if (xml[i + 1] == '/') --depth;
    else if (xml[end - 1] != '/') deepest = std::max(deepest, ++depth);
    else deepest = std::max(deepest, depth + 1);
  }
  return deepest;
}

TEST(EnmlPass, NestsNoDeeperThanReadersRead) {
  std::string html;
  for (int i = 0; i < 262144; ++i) html += "<b>";
  html += "x<br><a href=\"http://q\">bookmark&lt;b c&gt;</a>";
  TestPictures pictures;
  int names = 0;
  const std::string enml = CleanUpHtml(html, Options(Kind::kPage, pictures, names));
  EXPECT_EQ(Depth(enml), kMaxNesting - 1);
  EXPECT_NE(enml.find("x"), std::string::npos);
  EXPECT_NE(enml.find("\xE2\x80\xA2"), std::string::npos);
  EXPECT_EQ(enml.size(), (kMaxNesting - 1) * 7 + 4) << enml.substr(enml.size() - 200);
}

// A page with no line end outside an element (one paragraph of many line breaks) goes
// out while it is read, not at its end.
TEST(EnmlPass, HandsOnTheNoteWhileTheInputComes) {
  std::string html = "<html><body><div>";
  for (int i = 0; i < 150000; ++i) html += "line " + std::to_string(i) + "<br>";
  html += "</div></body></html>";
  int piecesBeforeEnd = 0;
  bool finished = false;
  size_t total = 0;
  EnmlOptions options;
  options.wholeDocument = true;
  EnmlPass pass(options, [&](std::string_view bytes) {
    if (!finished) ++piecesBeforeEnd;
    total += bytes.size();
    return bytes.size() <= 128 * 1024;
  });
  for (size_t at = 0; at < html.size(); at += 16 * 1024) pass.Feed(std::string_view(html).substr(at, 16 * 1024));
  finished = true;
  EXPECT_TRUE(pass.Finish());
  EXPECT_GT(piecesBeforeEnd, 20);
  EXPECT_EQ(total, html.size() - 26 + 150000);  // no html and body; every <br> now <br/>
}

// The host's code comes in UTF-16: a pair split over two slices stays one character, a
// lone surrogate is left out (and cannot hide a scheme).
TEST(EnmlPass, HostCodeInUtf16) {
  std::u16string code(16 * 1024 - 1, u'x');
  code += u"\U0001F600<a href=\"java";
  code += char16_t(0xD800);
  code += u"script:x\">l</a>";
  code += char16_t(0xDC00);
  std::string enml;
  EnmlPass pass(EnmlOptions(), [&enml](std::string_view bytes) {
    enml.append(bytes.data(), bytes.size());
    return true;
  });
  EXPECT_TRUE(FeedWideHtml(pass, code));
  pass.Finish();
  EXPECT_EQ(enml, std::string(16 * 1024 - 1, 'x') + "\xF0\x9F\x98\x80<a>l</a>");
}

TEST(EnmlPass, RefusingSinkEndsTheWork) {
  EnmlPass pass(EnmlOptions(), [](std::string_view) { return false; });
  EXPECT_FALSE(pass.Feed(std::string(200000, 'x')));
  EXPECT_FALSE(pass.Finish());
}

TEST(NewAnchorName, FreshHexadecimalNames) {
  std::vector<std::string> names;
  for (int i = 0; i < 100; ++i) {
    names.push_back(NewAnchorName());
    ASSERT_EQ(names.back().size(), 32u);
    EXPECT_EQ(names.back().find_first_not_of("0123456789abcdef"), std::string::npos);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
}

}  // namespace
