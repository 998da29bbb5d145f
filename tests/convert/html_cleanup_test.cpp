// HTML clean-up: the edge cases of each step, and the linear operations against the
// plain step-by-step versions on many random texts made of the patterns involved.
#include "convert/html_cleanup.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cleanup_reference.h"

namespace {

const WideString kBullet = u"\"><font color=\"orange\">&#8226;</font></a>";

// Names bookmarks without a blank deterministically, so both versions can be compared.
struct CountingNames {
  int next = 0;
  WideString operator()() { return u"uuid" + WideNumber(next++); }
};

WideString Bookmarks(WideString html) {
  CountingNames names;
  ConvertBookmarks(html, std::ref(names));
  return html;
}

TEST(ConvertBookmarks, NamesAndLeftovers) {
  EXPECT_EQ(Bookmarks(u"a bookmark&lt;Intro Chapter one&gt; b"),
            u"a <a name=\"Intro" + kBullet + u" b");
  EXPECT_EQ(Bookmarks(u"bookmark&lt;Intro&gt;"), u"<a name=\"uuid0" + kBullet);
  EXPECT_EQ(Bookmarks(u"bookmark&lt; x&gt;"), u"<a name=\"" + kBullet);
  EXPECT_EQ(Bookmarks(u"bookmark&lt;a&gt;bookmark&lt;b c&gt;bookmark&lt;d&gt;"),
            u"<a name=\"uuid0" + kBullet + u"<a name=\"b" + kBullet + u"<a name=\"uuid1" +
                kBullet);
  // A blank after the "&gt;" does not belong to the bookmark.
  EXPECT_EQ(Bookmarks(u"bookmark&lt;a&gt; x"), u"<a name=\"uuid0" + kBullet + u" x");
  for (const WideString& untouched :
       {WideString(u"BOOKMARK&lt;a b&gt;"), WideString(u"bookmark<a b>"),
        WideString(u"x bookmark&lt;a b"), WideString(u"bookmark&lt;&gt")}) {
    EXPECT_EQ(Bookmarks(untouched), untouched);
  }
  // A second bookmark without "&gt;" stops the work after the first.
  EXPECT_EQ(Bookmarks(u"bookmark&lt;a b&gt; bookmark&lt;c d"),
            u"<a name=\"a" + kBullet + u" bookmark&lt;c d");
}

// A name holding "bookmark&lt;" starts a bookmark inside the anchor just written; its
// end is the next "&gt;" of the text and its name runs to the blank in "<FONT COLOR".
TEST(ConvertBookmarks, BookmarkInsideAName) {
  EXPECT_EQ(Bookmarks(u"bookmark&lt;bookmark&lt;x y&gt; z&gt;!"),
            u"<a name=\"<a name=\"x\"><font" + kBullet + u"!");
  // Without a later "&gt;" the inner one stays as written.
  EXPECT_EQ(Bookmarks(u"bookmark&lt;qbookmark&lt;x y&gt;"),
            u"<a name=\"qbookmark&lt;x" + kBullet);
}

TEST(ConvertBookmarks, FreshUuidNames) {
  WideString first = u"bookmark&lt;Intro&gt;";
  WideString second = first;
  ConvertBookmarks(first);
  ConvertBookmarks(second);
  const WideString head = u"<a name=\"";
  ASSERT_EQ(first.size(), head.size() + 32 + kBullet.size());
  const WideString name = first.substr(head.size(), 32);
  EXPECT_EQ(name.find_first_not_of(u"0123456789abcdef"), WideString::npos) << name.size();
  EXPECT_NE(first, second);
}

TEST(NewUuidText, Forms) {
  const WideString dashed = NewUuidText(false);
  ASSERT_EQ(dashed.size(), 36u);
  for (size_t i : {8u, 13u, 18u, 23u}) EXPECT_EQ(dashed[i], u'-');
  std::set<WideString> seen;
  for (int i = 0; i < 100; ++i) {
    const WideString bare = NewUuidText(true);
    ASSERT_EQ(bare.size(), 32u);
    EXPECT_EQ(bare.find_first_not_of(u"0123456789abcdef"), WideString::npos);
    seen.insert(bare);
  }
  EXPECT_EQ(seen.size(), 100u);
}

WideString Anchor(const WideString& address) {
  return u"<a href=\"" + address + u"\" target=\"_blank\">" + address + u"</a>";
}

WideString Linked(WideString html) {
  LinkifyUrls(html);
  return html;
}

TEST(LinkifyUrls, AddressEnds) {
  EXPECT_EQ(Linked(u"http://x/y"), u"<a href=\"http://x/y\" target=\"_blank\">http://x/y</a>");
  const struct {
    const char16_t* text;
    const char16_t* linked;  // the address linked in text, each "@" standing for it
  } kCases[] = {
      // Blanks, line breaks and tags end an address.
      {u"http://a b", u"@ b"},
      {u"http://a\r\nb", u"@\r\nb"},
      {u"http://a<b>/c</b>", u"@<b>/c</b>"},
      // The punctuation that ends a sentence stays outside, and a ")" without its "(".
      {u"see http://a.", u"see @."},
      {u"(http://a), http://a; http://a: http://a! http://a?", u"(@), @; @: @! @?"},
      {u"http://a...", u"@..."},
      // A no-break space and references that no address holds end it too.
      {u"http://a&nbsp;(b)<br>c", u"@&nbsp;(b)<br>c"},
      {u"&lt;http://a&gt; &quot;http://a&quot;", u"&lt;@&gt; &quot;@&quot;"},
      {u"zhttp://a", u"z@"},
      {u"HTTP://X http:/x https:x", u"HTTP://X http:/x https:x"},
  };
  for (const auto& c : kCases) {
    WideString expected = c.linked;
    for (size_t at = expected.find(u'@'); at != WideString::npos; at = expected.find(u'@', at))
      expected.replace(at, 1, Anchor(u"http://a"));
    EXPECT_EQ(Linked(c.text), expected);
  }
  // What belongs to an address stays in it: its own brackets, inner punctuation, https.
  EXPECT_EQ(Linked(u"https://w.org/A_(b).c?d=1,2"), Anchor(u"https://w.org/A_(b).c?d=1,2"));
  EXPECT_EQ(Linked(u"http://"), Anchor(u"http://"));
}

TEST(LinkifyUrls, TagsAndLinksAreNotTouched) {
  const WideString tags =
      u"<a href=\"http://x\"><!-- http://y --><a name=\"http://z\"><font color=\"orange\">";
  EXPECT_EQ(Linked(tags), tags);
  // An address that already is a link's text is not linked again, in any spelling.
  for (const WideString& link : {WideString(u"<a href=\"http://x\">see http://x</a>"),
                                 WideString(u"<A HREF=\"u\"><b>http://x</b></A>"),
                                 WideString(u"<a\nhref=u><a>http://x</a>http://y</a>")})
    EXPECT_EQ(Linked(link), link);
  EXPECT_EQ(Linked(u"<a href=u>x</a> http://a <abbr>http://a</abbr><a/>http://a"),
            u"<a href=u>x</a> " + Anchor(u"http://a") + u" <abbr>" + Anchor(u"http://a") +
                u"</abbr><a/>" + Anchor(u"http://a"));
  // A stray "<" keeps everything after it, treated as text.
  EXPECT_EQ(Linked(u"a < b http://x"), u"a < b " + Anchor(u"http://x"));
  EXPECT_EQ(Linked(u"<p>x</p> <"), u"<p>x</p> <");
  EXPECT_EQ(Linked(u""), u"");
}

WideString Body(WideString html) {
  ExtractBodyContent(html);
  return html;
}

TEST(ExtractBodyContent, OnlyBetweenTheBodyTags) {
  EXPECT_EQ(Body(u"<html><body topmargin=5>Hi</body></html>"), u"Hi");
  EXPECT_EQ(Body(u"<body >Hi</body >"), u"Hi");
  EXPECT_EQ(Body(u"<body ></body>"), u"");
  EXPECT_EQ(Body(u"<html><body>Hi</body>"), u"Hi");
  for (const WideString& whole :
       {WideString(u"<bodyx>Hi</body>"), WideString(u"<BODY x>Hi</BODY>"), WideString(u"<body"),
        WideString(u"<body x"), WideString(u"<body x>Hi")}) {
    EXPECT_EQ(Body(whole), whole);
  }
}

TEST(CleanUp, PlainTextPassesUnchanged) {
  WideString html = u"Cannot load: a < b";
  ConvertBookmarks(html);
  LinkifyUrls(html);
  ExtractBodyContent(html);
  EXPECT_EQ(html, u"Cannot load: a < b");
}

// The pieces that matter to the algorithms, so that random texts hit their corners.
const std::vector<WideString> kPieces = {
    u"bookmark&lt;", u"&gt;", u"bookmark&lt;Intro&gt;", u"bookmark&lt;a b&gt;",
    u"bookmark&lt; x&gt;", u"bookmark&lt;bookmark&lt;", u"BOOKMARK&lt;", u"bookmark<",
    u"&lt;", u"&g", u"t;", u"&amp;", u" ", u" ", u"x", u"Ab", u".", u"http://", u"https://",
    u"http://x/y.", u"zhttp://q", u"HTTP://X", u"https:/", u"http", u"\r\n", u"\r", u"\n",
    u"<", u">", u"<br>", u"<font color=red>", u"<A HREF=\"http://h\">", u"</A>", u"<a href=x>", u"</a>", u").", u"&nbsp;", u"<body ",
    u"<body>", u"<body topmargin=5>", u"</body>", u"</body", u"$$$NOTE_CONTENT$$$",
    u"<!-- marker -->", u"<!--", u"-->", u"\"", u"\u00e9"};

WideString RandomHtml(std::mt19937& rng, int maxPieces) {
  std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
  WideString html;
  for (int i = std::uniform_int_distribution<int>(0, maxPieces)(rng); i > 0; --i) {
    html += kPieces[pick(rng)];
  }
  return html;
}

TEST(CleanUp, MatchesPlainStepsOnRandomTexts) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 30000; ++round) {
    const WideString input = RandomHtml(rng, round % 3 == 0 ? 60 : 16);

    WideString fast = input;
    WideString plain = input;
    CountingNames fastNames;
    CountingNames plainNames;
    ConvertBookmarks(fast, std::ref(fastNames));
    PlainConvertBookmarks(plain, std::ref(plainNames));
    ASSERT_EQ(fast, plain) << "bookmarks, round " << round;
    ASSERT_EQ(fastNames.next, plainNames.next);

    WideString fastLinked = input;
    WideString plainLinked = input;
    LinkifyUrls(fastLinked);
    PlainLinkifyUrls(plainLinked);
    ASSERT_EQ(fastLinked, plainLinked) << "addresses, round " << round;

    // The whole clean-up in its order.
    LinkifyUrls(fast);
    PlainLinkifyUrls(plain);
    ExtractBodyContent(fast);
    ExtractBodyContent(plain);
    ASSERT_EQ(fast, plain) << "clean-up, round " << round;
  }
}

}  // namespace
