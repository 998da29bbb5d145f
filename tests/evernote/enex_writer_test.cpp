// ENEX writer: exact bytes for the documented shapes, title and tags mended (escaping,
// characters XML forbids), the content written as it comes but for a "]]>", the same
// bytes when the content comes in pieces, and every document run through a real XML
// parser (natively) and validated against the published DTDs where they are at hand.
#include "evernote/enex_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "evernote/md5.h"
#include "text/code_pages.h"
#include "xml_check.h"

namespace {

const NoteTime kTime{2026, 12, 8, 5, 42, 9, 500};

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE en-export SYSTEM \"http://xml.evernote.com/pub/evernote-export2.dtd\">\n"
    "<en-export application=\"Yarrin/Yarrin2Evernote\">\n"
    "<note>\n<title>";

std::string ContentElement(const std::string& body) {
  return "<content><![CDATA[<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>"
         "<!DOCTYPE en-note SYSTEM \"http://xml.evernote.com/pub/enml2.dtd\">"
         "<en-note style=\"word-wrap: break-word; -webkit-nbsp-mode: space; "
         "-webkit-line-break: after-white-space;\">" +
         body + "</en-note>]]></content>";
}

std::string Times() {
  return "\n<created>20261208T054209Z</created>\n<updated>20261208T054209Z</updated>\n";
}

// Parses the document and, where the DTDs are at hand, validates it. ENEX 2's DTD has
// no public copy; version 3 declares the same note elements and adds only optional ones.
void ExpectWellFormed(const ByteString& document) {
  const XmlCheck parsed = CheckXml(document);
  if (!parsed.ran) return;
  EXPECT_TRUE(parsed.ok) << parsed.output << "\n" << document;
  if (auto dtds = EnexDtdFolder()) {
    const XmlCheck valid = CheckXml(document, *dtds + "/evernote-export3.dtd");
    EXPECT_TRUE(valid.ok) << valid.output << "\n" << document;
  }
}

ByteString Build(WideView title, const ByteString& content, WideView tags) {
  ByteString document = BuildEnexDocument(NoteTitle(title), BytePieces{content}, kTime, kTime, tags);
  ExpectWellFormed(document);
  return document;
}

TEST(EnexDocument, WithTags) {
  EXPECT_EQ(Build(u"Title", "<div>Hi</div>", u"a, b"),
            kHead + std::string("Title</title>\n") + ContentElement("<div>Hi</div>") +
                Times() + "\n<tag>a</tag>\n<tag>b</tag>\n\n</note>\n</en-export>");
}

TEST(EnexDocument, WithoutTagsAndWithDefaultTitle) {
  const std::string expected = kHead + std::string("The Default Title </title>\n") +
                               ContentElement("") + Times() + "</note>\n</en-export>";
  EXPECT_EQ(Build(u"", "", u""), expected);
  // Tag text of forbidden characters only holds no tag.
  EXPECT_EQ(Build(u"", "", u"\x01\x02"), expected);
}

TEST(EnexDocument, NonAsciiTitleIsUtf8AndFixedPartsAscii) {
  const WideString title = u"\u041f\u0440\u0438\u0432\u0435\u0442 \u20ac \U0001F600";
  const ByteString document = Build(title, "x", u"");
  const ByteString titleBytes = WideToUtf8(title);
  const size_t at = document.find(titleBytes);
  ASSERT_NE(at, ByteString::npos);
  ByteString rest = document.substr(0, at) + document.substr(at + titleBytes.size());
  for (char byte : rest) ASSERT_LT(static_cast<unsigned char>(byte), 0x80);
  EXPECT_EQ(document.find('\r'), ByteString::npos);
}

TEST(EnexDocument, PlaceholderInsideContentIsInsertedOnce) {
  const ByteString document = Build(u"t", "a$$$NOTE_CONTENT$$$b", u"");
  EXPECT_NE(document.find(ContentElement("a$$$NOTE_CONTENT$$$b")), ByteString::npos);
}

TEST(EnexDocument, TitleAndTagsAreEscaped) {
  const ByteString document = Build(u"Q&A <b> \"x\"", "", u"a<b, R&D");
  EXPECT_NE(document.find("<title>Q&amp;A &lt;b&gt; \"x\"</title>"), ByteString::npos);
  EXPECT_NE(document.find("<tag>a&lt;b</tag>\n<tag>R&amp;D</tag>\n"), ByteString::npos);
}

TEST(NoteContentElement, CdataEndInsideContentSurvives) {
  EXPECT_EQ(WideToUtf8(NoteContentElement(u"x]]>y")),
            ContentElement("x]]]]><![CDATA[>y"));
  EXPECT_EQ(WideToUtf8(NoteContentElement(u"]]]>>]]")),
            ContentElement("]]]]]><![CDATA[>>]]"));
  // Dropping a forbidden character must not leave a "]]>" behind.
  EXPECT_EQ(WideToUtf8(NoteContentElement(u"]]\x01>")), ContentElement("]]]]><![CDATA[>"));
}

TEST(EnexDocument, CharactersXmlForbidsAreLeftOutOfTitleAndTags) {
  const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, u'c', 0xFFFE, u'd', 0};
  const WideString bad = WideString(u"\x01\x1f\x0b") + lone + u"\U0001F600";
  const ByteString document = Build(bad, "<p/>", bad + u",x\x08y");
  const std::string kept = "abcd\xF0\x9F\x98\x80";
  EXPECT_NE(document.find("<title>" + kept + "</title>"), ByteString::npos);
  EXPECT_NE(document.find("<tag>" + kept + "</tag>\n<tag>xy</tag>\n"), ByteString::npos);
}

TEST(TagElements, Splitting) {
  EXPECT_EQ(TagElements(u""), u"");
  EXPECT_EQ(TagElements(u"a,,b ,"), u"<tag>a</tag>\n<tag></tag>\n<tag>b</tag>\n<tag></tag>\n");
  // A text beginning with a comma is split like any other.
  EXPECT_EQ(TagElements(u",a"), u"<tag></tag>\n<tag>a</tag>\n");
  EXPECT_EQ(TagElements(u"  one two  "), u"<tag>one two</tag>\n");
  EXPECT_EQ(TagElements(u" \tx\t "), u"<tag>\tx\t</tag>\n");  // blanks only are trimmed
}

TEST(EnexTimestamp, Format) {
  EXPECT_EQ(EnexTimestamp(kTime), u"20261208T054209Z");
  EXPECT_EQ(EnexTimestamp(NoteTime{5, 1, 2, 3, 4, 5, 999}), u"00050102T030405Z");
}

TEST(NoteTitle, DefaultOnlyWhenEmpty) {
  EXPECT_EQ(NoteTitle(u""), u"The Default Title ");
  EXPECT_EQ(NoteTitle(u" "), u" ");
}

// A note body as the clean-up leaves it: valid ENML once inside the document.
TEST(EnexDocument, ContentIsValidEnml) {
  const ByteString document = Build(u"t", "<div>Hello <b>world</b> &amp; you</div>", u"");
  const XmlCheck content = XmlString(document, "string(/en-export/note/content)");
  if (!content.ran) GTEST_SKIP() << "no xmllint here";
  ASSERT_TRUE(content.ok) << content.output;
  const XmlCheck parsed = CheckXml(content.output);
  EXPECT_TRUE(parsed.ok) << parsed.output << "\n" << content.output;
  if (auto dtds = EnexDtdFolder()) {
    const XmlCheck valid =
        CheckXml(content.output, *dtds + "/enml2-entities-inlined.libquentier.dtd");
    EXPECT_TRUE(valid.ok) << valid.output << "\n" << content.output;
  }
}

// Hostile random titles and tags and contents of every character XML allows: the parser
// must read back exactly what was given, less the characters XML forbids in the title.
TEST(EnexDocument, RandomHostileInputsParseBackWhole) {
  if (!CheckXml("<a/>").ran) GTEST_SKIP() << "no xmllint here";
  const std::vector<WideString> pieces = {
      u"&", u"<", u">", u"]]>", u"]]", u"]", u"<![CDATA[", u"\x01", u"\x1f", u"\t",
      u"\n", u"$$$NOTE_CONTENT$$$", u"\u00e9", u"\U0001F600", u"abc", u" ", u",",
      WideString(1, char16_t(0xD800)), WideString(1, char16_t(0xDFFF)), u"&amp;"};
  std::mt19937 rng(42);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  auto randomText = [&] {
    WideString text;
    for (int i = std::uniform_int_distribution<int>(1, 12)(rng); i > 0; --i) text += pieces[pick(rng)];
    return text;
  };
  auto xmlKept = [](const WideString& text) {  // what XML may carry of text
    WideString kept;
    for (size_t i = 0; i < text.size(); ++i) {
      char16_t c = text[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF) {
        kept += text.substr(i++, 2);
      } else if ((c >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r') &&
                 !(c >= 0xD800 && c <= 0xDFFF)) {
        kept.push_back(c);
      }
    }
    return kept;
  };
  for (int round = 0; round < 25; ++round) {
    const WideString title = randomText();
    const ByteString content = WideToUtf8(xmlKept(randomText()));
    const ByteString document = BuildEnexDocument(title, BytePieces{content}, kTime, kTime, u"t");
    ExpectWellFormed(document);
    const XmlCheck readTitle = XmlString(document, "string(/en-export/note/title)");
    ASSERT_TRUE(readTitle.ok) << readTitle.output;
    EXPECT_EQ(readTitle.output, WideToUtf8(xmlKept(title))) << round;
    const XmlCheck readContent = XmlString(document, "string(/en-export/note/content)");
    ASSERT_TRUE(readContent.ok) << readContent.output;
    const std::string inner = ContentElement(content);
    // The parser gives the CDATA text: the element without its markup around the ENML.
    const std::string open = "<content><![CDATA[";
    const std::string close = "]]></content>";
    EXPECT_EQ(readContent.output,
              inner.substr(open.size(), inner.size() - open.size() - close.size()))
        << round;
  }
}

TEST(Md5, KnownDigests) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (auto [text, digest] : cases) EXPECT_EQ(Md5Hex(std::string(text)), digest) << text;
  // 55 and 56 bytes (digests by Python's hashlib): the length fits the last block or needs
  // one more.
  EXPECT_EQ(Md5Hex(std::string(55, 'x')), "04364420e25c512fd958a70738aa8f72");
  EXPECT_EQ(Md5Hex(std::string(56, 'x')), "668a72d5ba17f08e62dabcafad6db14b");
}

TEST(AppendBase64, KnownEncodingsAndLines) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
      {std::string("\0\xff\xfe", 3), "AP/+"},
      {std::string(57, '\0'), std::string(76, 'A')},
      {std::string(58, '\0'), std::string(76, 'A') + "\nAA=="},
  };
  for (const auto& [data, encoded] : cases) {
    ByteString out = "x";
    AppendBase64(out, data);
    EXPECT_EQ(out, "x" + encoded) << data.size() << " bytes";
  }
}

TEST(EnexDocument, ResourcesFollowTheTagsAndOnlyWhenThereAreAny) {
  NoteResource png{std::string("\x89PNG\r\n", 6), "image/png", 40, 30, u"_img_1.png"};
  NoteResource jpeg{"\xff\xd8", "image/jpeg", 0, 0, u""};
  const ByteString document =
      BuildEnexDocument(u"T", {"<en-media type=\"image/png\" hash=\"" + Md5Hex(png.data) + "\"/>"},
                        kTime, kTime, u"a", {png, jpeg});
  ExpectWellFormed(document);
  const std::string tags = "\n<tag>a</tag>\n\n";
  const size_t afterTags = document.find(tags);
  ASSERT_NE(afterTags, ByteString::npos);
  EXPECT_EQ(document.substr(afterTags + tags.size()),
            "<resource><data encoding=\"base64\">\niVBORw0K\n</data><mime>image/png</mime>"
            "<width>40</width><height>30</height><resource-attributes><file-name>_img_1.png"
            "</file-name></resource-attributes></resource>\n"
            "<resource><data encoding=\"base64\">\n/9g=\n</data><mime>image/jpeg</mime>"
            "</resource>\n</note>\n</en-export>");
  EXPECT_EQ(BuildEnexDocument(u"T", {"c"}, kTime, kTime, u"a", {}),
            BuildEnexDocument(u"T", {"c"}, kTime, kTime, u"a"));
}

// The content split as a sender may split it, down to one byte a piece.
BytePieces OneBytePieces(const std::string& content) {
  BytePieces pieces;
  for (char byte : content) pieces.emplace_back(1, byte);
  return pieces;
}

// The document written through a sink, with the sizes of the pieces it was handed.
ByteString Streamed(WideView title, const BytePieces& content, WideView tags,
                    const std::vector<NoteResource>& resources = {},
                    std::vector<size_t>* pieceSizes = nullptr) {
  ByteString document;
  EXPECT_TRUE(WriteEnexDocument(
      [&](std::string_view bytes) {
        document.append(bytes.data(), bytes.size());
        if (pieceSizes) pieceSizes->push_back(bytes.size());
        return true;
      },
      title, content, kTime, kTime, tags, resources));
  return document;
}

// The exact content element for content in pieces: as it comes, but for a "]]>".
TEST(WriteEnexDocument, ContentPiecesGiveTheExactContentElement) {
  struct Case {
    BytePieces pieces;
    std::string body;
  };
  const Case cases[] = {
      // "]]>" split over two sections, wherever the pieces part it
      {{"x]", "]", ">y"}, "x]]]]><![CDATA[>y"}, {{"]]]", ">>"}, "]]]]]><![CDATA[>>"},
      {{"]]", ">", "]]", ">"}, "]]]]><![CDATA[>]]]]><![CDATA[>"}, {{"]]\xC3", "\xA9>"}, "]]\xC3\xA9>"},
      // characters whose bytes straddle pieces come out whole
      {{"caf\xC3", "\xA9"}, "caf\xC3\xA9"}, {{"\xF0\x9F", "\x98", "\x80!"}, "\xF0\x9F\x98\x80!"},
      {{"", "a", "", "b", ""}, "ab"},
  };
  for (const Case& c : cases) {
    const ByteString document = Streamed(u"t", c.pieces, u"");
    EXPECT_NE(document.find(ContentElement(c.body) + Times()), ByteString::npos)
        << ::testing::PrintToString(c.pieces) << "\n" << document;
    ExpectWellFormed(document);
  }
}

// The known documents of the tests above, with their content in one-byte pieces.
TEST(WriteEnexDocument, ContentInPiecesGivesTheKnownDocuments) {
  const std::string tail = "</note>\n</en-export>";
  NoteResource png{std::string("\x89PNG\r\n", 6), "image/png", 40, 30, u"_img_1.png"};
  struct Case {
    WideView title;
    std::string content;
    WideView tags;
    std::vector<NoteResource> resources;
    std::string expected;
  };
  const Case cases[] = {
      {u"Title", "<div>Hi</div>", u"a, b", {},
       kHead + std::string("Title</title>\n") + ContentElement("<div>Hi</div>") + Times() +
           "\n<tag>a</tag>\n<tag>b</tag>\n\n" + tail},
      {u"T", "c", u"a", {png, NoteResource{"\xff\xd8", "image/jpeg", 0, 0, u""}},
       kHead + std::string("T</title>\n") + ContentElement("c") + Times() +
           "\n<tag>a</tag>\n\n<resource><data encoding=\"base64\">\niVBORw0K\n</data>"
           "<mime>image/png</mime><width>40</width><height>30</height><resource-attributes>"
           "<file-name>_img_1.png</file-name></resource-attributes></resource>\n"
           "<resource><data encoding=\"base64\">\n/9g=\n</data><mime>image/jpeg</mime>"
           "</resource>\n" + tail},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Streamed(c.title, OneBytePieces(c.content), c.tags, c.resources), c.expected);
    EXPECT_EQ(BuildEnexDocument(c.title, BytePieces{c.content}, kTime, kTime, c.tags,
                                c.resources),
              c.expected);
  }
}

// Content and a picture far beyond the writer's buffer: whole, in lines of 76, and handed
// over in pieces no larger than the buffer.
TEST(WriteEnexDocument, LargeContentAndPictureArriveWholeInBoundedPieces) {
  const std::string x(150001, 'x'), z(150000, 'z');
  const BytePieces content = {x, "\xC3", "\xA9" + z};
  const NoteResource zeros{std::string(200000, '\0'), "image/png", 0, 0, u""};
  std::string base64;  // 200,000 bytes: 3,508 lines of 57 bytes, then 44 bytes
  for (int line = 0; line < 3508; ++line) base64 += std::string(76, 'A') + "\n";
  base64 += std::string(56, 'A') + "AAA=";
  std::vector<size_t> sizes;
  const ByteString document = Streamed(u"T", content, u"", {zeros}, &sizes);
  EXPECT_EQ(document, kHead + std::string("T</title>\n") +
                          ContentElement(x + "\xC3\xA9" + z) +
                          Times() + "<resource><data encoding=\"base64\">\n" + base64 +
                          "\n</data><mime>image/png</mime></resource>\n</note>\n</en-export>");
  EXPECT_GE(sizes.size(), document.size() / (64 * 1024));
  EXPECT_LE(*std::max_element(sizes.begin(), sizes.end()), 64u * 1024);
}

// A sink that refuses its k-th piece ends the writing there: false, and nothing more.
TEST(WriteEnexDocument, RefusingSinkEndsTheWriting) {
  const BytePieces content = {std::string(300000, 'x')};
  const std::vector<NoteResource> picture = {{std::string(300000, '\1'), "image/png", 0, 0, u""}};
  // About 706 KB in 11 pieces: the first, pieces of the content and of the picture, the last.
  for (int refused : {1, 3, 8, 11}) {
    int calls = 0;
    const bool written = WriteEnexDocument(
        [&](std::string_view) { return ++calls < refused; }, u"T", content, kTime, kTime,
        u"", picture);
    EXPECT_FALSE(written) << refused;
    EXPECT_EQ(calls, refused);
  }
}

}  // namespace
