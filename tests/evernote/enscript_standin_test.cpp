// The ENScript stand-in itself: the command-line forms it accepts and the files it
// refuses, so that the runner's tests can trust what it stores.
#include <gtest/gtest.h>

#include "evernote/enex_writer.h"
#include "evernote/md5.h"
#include "tests/enscript_fixture.h"

namespace {

const char kNote[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE en-export SYSTEM \"http://xml.evernote.com/pub/evernote-export2.dtd\">\n"
    "<en-export application=\"test\">\n<note>\n<title>Q&amp;A \xD0\x96 </title>\n"
    "<content><![CDATA[<?xml version=\"1.0\"?><en-note title=\"]]]]><![CDATA[>\">a</en-note>]]>"
    "</content>\n<created>20261208T054209Z</created>\n<updated>20261208T054210Z</updated>\n"
    "<tag>x&lt;y</tag>\n</note>\n</en-export>";

// A note whose content and resources are given.
std::string NoteWith(const std::string& content, const std::string& resources) {
  return "<en-export><note><title>t</title><content><![CDATA[<en-note>" + content +
         "</en-note>]]></content><created>1</created><updated>1</updated>" + resources +
         "</note></en-export>";
}

// "x" in base64 as a resource, and an en-media with its MD5.
const char kX[] =
    "<resource><data encoding=\"base64\">eA==</data><mime>image/gif</mime></resource>";
const char kXMedia[] =
    "<en-media type=\"image/gif\" hash=\"9dd4e461268c8034f5c8564e155c67a6\"/>";
std::string Media(const std::string& hash) {
  return "<en-media type=\"image/gif\" hash=\"" + hash + "\"/>";
}

DWORD RunStandin(const ScopedEnscript& enscript, const std::wstring& arguments) {
  return enscript.Run(arguments);
}

TEST(EnscriptStandinTest, AcceptsTheThreeCommandLineForms) {
  ScopedEnscript enscript(L"forms");
  CreateDirectoryW((enscript.folder() + L"with blank").c_str(), nullptr);
  WriteFileBytes(enscript.folder() + L"a.enex", kNote);
  WriteFileBytes(enscript.folder() + L"with blank\\b.enex", kNote);
  EXPECT_EQ(RunStandin(enscript, L"importNotes /sa.enex"), 0u);
  EXPECT_EQ(RunStandin(enscript, L"importNotes /s a.enex"), 0u);
  EXPECT_EQ(RunStandin(enscript, L"importNotes /s\"" + enscript.folder() + L"with blank\\b.enex\""), 0u);
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].title, u"Q&A \u0416 ") << "stored exactly, with its trailing blank";
  EXPECT_EQ(notes[0].tags, std::vector<WideString>{u"x<y"});
  EXPECT_EQ(notes[0].content, u"<en-note title=\"]]>\">a</en-note>");
  EXPECT_EQ(notes[0].created, u"20261208T054209Z");
  EXPECT_EQ(notes[0].updated, u"20261208T054210Z");
  EXPECT_EQ(ReadFileBytes(enscript.folder() + L"notebook\\received-0001.enex"), kNote);
}

TEST(EnscriptStandinTest, RefusesWhatEvernoteWouldRefuse) {
  ScopedEnscript enscript(L"refuse");
  struct Case {
    std::string bytes;
    DWORD exitCode;
  } cases[] = {
      {"<en-export><note><title>x</title>", 4},                      // malformed
      {"<en-export><note><title>A & B</title></note></en-export>", 4},  // bare ampersand
      {"<notes><note/></notes>", 5},                                  // not an export
      {"<en-export><note><title>t</title><content/><created>1</created></note></en-export>", 6},

      // Resources whose data is not base64, or that lack data or mime type.
      {NoteWith("", "<resource><data>eA=</data><mime>image/gif</mime></resource>"), 9},
      {NoteWith("", "<resource><data>eA=a</data><mime>image/gif</mime></resource>"), 9},
      {NoteWith("", "<resource><data>e*==</data><mime>image/gif</mime></resource>"), 9},
      {NoteWith("", "<resource><data>e===</data><mime>image/gif</mime></resource>"), 9},
      {NoteWith("", "<resource><mime>image/gif</mime></resource>"), 9},
      {NoteWith("", "<resource><data>eA==</data></resource>"), 9},
      // An en-media whose hash is no resource's: another, upper case, no resources.
      {NoteWith(kXMedia + Media("0cc175b9c0f1b6a831c399e269772661"), kX), 10},
      {NoteWith(Media("9DD4E461268C8034F5C8564E155C67A6"), kX), 10},
      {NoteWith(kXMedia, ""), 10},
  };
  for (const Case& c : cases) {
    WriteFileBytes(enscript.folder() + L"bad.enex", c.bytes);
    EXPECT_EQ(RunStandin(enscript, L"importNotes /sbad.enex"), c.exitCode) << c.bytes;
  }
  EXPECT_NE(RunStandin(enscript, L"importNotes /smissing.enex"), 0u);
  EXPECT_NE(RunStandin(enscript, L"exportNotes /sbad.enex"), 0u);
  // Content that is not well-formed, each as a reader without the ENML DTD sees it: the
  // reason and where.
  const std::pair<const char*, const char*> malformed[] = {
      {"<en-note>a &bull; b</en-note>", "entity \"&bull;\" is not defined at line 1, column 12"},
      {"<en-note>a<br>b</en-note>", "end tag </en-note> does not match <br> at line 1, column 16"},
      {"<en-note><a href=x>l</a></en-note>",
       "the value of attribute href is not in quotes at line 1, column 13"},
  };
  for (const auto& [content, reason] : malformed) {
    WriteFileBytes(enscript.folder() + L"bad.enex",
                   "<en-export><note><title>t</title><content><![CDATA[" + std::string(content) +
                       "]]></content><created>1</created><updated>1</updated></note></en-export>");
    std::string output;
    EXPECT_EQ(enscript.Run(L"importNotes /sbad.enex", &output), 8u) << content;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    EXPECT_EQ(output, "Import failed: the content of note 1 is not well-formed XML: " +
                          std::string(reason) + ".");
  }
  EXPECT_TRUE(enscript.Notes().empty());
}

// Content checked against ENML 2 as Evernote's service checks it: the first fault is
// named and nothing is stored; valid content is stored.
TEST(EnscriptStandinTest, RefusesContentThatIsNotValidEnml) {
  ScopedEnscript enscript(L"enml");
  if (GetFileAttributesW((enscript.folder() + L"enml2.dtd").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the build found no ../shared/enex-dtd/enml2.dtd to put beside the stand-in";
  struct Case {
    std::string content;
    const char* fault;
  } cases[] = {
      {"<P>a</P>", "Element P is not declared at en-note/P"},
      {"<p/><p><A HREF=\"x\">l</A></p>", "Element A is not declared at en-note/p[2]/A"},
      {"<p><a HREF=\"x\">l</a></p>", "Attribute HREF is not declared for element a at en-note/p/a"},
      {"<div><en-todo checked=\"yes\"/></div>",
       "Attribute checked of element en-todo is \"yes\", not one of (true|false) at "
       "en-note/div/en-todo"},
      {"<en-media type=\"image/gif\"/>",
       "Attribute hash is required for element en-media at en-note/en-media"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(enscript.folder() + L"bad.enex", NoteWith(c.content, kX));
    std::string output;
    EXPECT_EQ(enscript.Run(L"importNotes /sbad.enex", &output), 11u) << c.content;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    EXPECT_EQ(output, "Import failed: the content of note 1 is not valid ENML: " +
                          std::string(c.fault) + ".")
        << c.content;
  }
  EXPECT_TRUE(enscript.Notes().empty());
  const std::string valid = "<p><a href=\"x\" title=\"t\">l</a></p><en-todo checked=\"true\"/>" +
                            std::string(kXMedia);
  WriteFileBytes(enscript.folder() + L"good.enex", NoteWith(valid, kX));
  ASSERT_EQ(RunStandin(enscript, L"importNotes /sgood.enex"), 0u);
  ASSERT_EQ(enscript.Notes().size(), 1u);
  EXPECT_EQ(enscript.Notes()[0].content, WideFromAscii("<en-note>" + valid + "</en-note>"));
}

TEST(EnscriptStandinTest, StoresResourcesWithTheirBytesBesideTheNote) {
  ScopedEnscript enscript(L"resources");
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\xff", 18);
  const char kPngHash[] = "91ba0b2ac591a41e21e4cac1c34a5744";
  const std::string content = "<div>x</div><en-media type=\"image/png\" hash=\"" +
                              std::string(kPngHash) + "\" width=\"96\"/>" + kXMedia;
  const std::string resources =
      "<resource><data encoding=\"base64\">\niVBORw0KGgoAAAAN\r\nSUhEUgD/\n</data>"
      "<mime>image/png</mime><width>96</width><height>48</height>"
      "<resource-attributes><file-name>_img_1.png</file-name></resource-attributes>"
      "</resource>" + std::string(kX);
  WriteFileBytes(enscript.folder() + L"a.enex", NoteWith(content, resources));
  ASSERT_EQ(RunStandin(enscript, L"importNotes /sa.enex"), 0u);
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  ASSERT_EQ(notes[0].resources.size(), 2u);
  const StoredResource& picture = notes[0].resources[0];
  EXPECT_EQ(picture.mime, u"image/png");
  EXPECT_EQ(picture.hash, WideFromAscii(kPngHash));
  EXPECT_EQ(picture.width, 96);
  EXPECT_EQ(picture.height, 48);
  EXPECT_EQ(picture.fileName, u"_img_1.png");
  EXPECT_EQ(picture.size, png.size());
  EXPECT_EQ(picture.bytes, png);
  EXPECT_EQ(picture.dataFile, u"note-0001-" + WideFromAscii(kPngHash) + u".png");
  EXPECT_EQ(ReadFileBytes(enscript.folder() + L"notebook\\note-0001-" +
                          std::wstring(kPngHash, kPngHash + 32) + L".png"),
            png);
  const StoredResource& gif = notes[0].resources[1];
  EXPECT_EQ(gif.bytes, "x");
  EXPECT_EQ(gif.width, 0);
  EXPECT_EQ(gif.fileName, u"");
  EXPECT_EQ(gif.dataFile, u"note-0001-9dd4e461268c8034f5c8564e155c67a6.gif");
}

// What the ENEX writer makes of a note with a picture (base64 over several lines) is
// taken whole.
TEST(EnscriptStandinTest, TakesTheWritersResources) {
  ScopedEnscript enscript(L"writer");
  NoteResource picture;
  for (int i = 0; i < 300; ++i) picture.data += static_cast<char>(i * 7);
  picture.mime = "image/png";
  picture.width = 3;
  picture.height = 2;
  picture.fileName = u"_img_1.png";
  // The body only: the writer puts it into the note's en-note.
  const BytePieces content = {"<en-media type=\"image/png\" hash=\"" + Md5Hex(picture.data) +
                              "\"/>"};
  WriteFileBytes(enscript.folder() + L"w.enex",
                 BuildEnexDocument(u"t", content, NoteTime{2026}, NoteTime{2026}, u"", {picture}));
  ASSERT_EQ(RunStandin(enscript, L"importNotes /sw.enex"), 0u);
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  ASSERT_EQ(notes[0].resources.size(), 1u);
  EXPECT_EQ(notes[0].resources[0].bytes, picture.data);
  EXPECT_EQ(notes[0].resources[0].width, 3);
  EXPECT_EQ(notes[0].resources[0].height, 2);
  EXPECT_EQ(notes[0].resources[0].fileName, u"_img_1.png");
}

TEST(EnscriptStandinTest, FaultFileSetsTheExitCodeAfterImporting) {
  ScopedEnscript enscript(L"fault");
  WriteFileBytes(enscript.folder() + L"a.enex", kNote);
  enscript.SetFault("exit 9");
  EXPECT_EQ(RunStandin(enscript, L"importNotes /sa.enex"), 9u);
  EXPECT_EQ(enscript.Notes().size(), 1u);
}

}  // namespace
