// The ENScript stand-in itself: the command-line forms it accepts and the files it
// refuses, so that the runner's tests can trust what it stores.
#include <gtest/gtest.h>

#include "tests/enscript_fixture.h"

namespace {

const char kNote[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE en-export SYSTEM \"http://xml.evernote.com/pub/evernote-export2.dtd\">\n"
    "<en-export application=\"test\">\n<note>\n<title>Q&amp;A \xD0\x96 </title>\n"
    "<content><![CDATA[<?xml version=\"1.0\"?><en-note title=\"]]]]><![CDATA[>\">a</en-note>]]>"
    "</content>\n<created>20261208T054209Z</created>\n<updated>20261208T054210Z</updated>\n"
    "<tag>x&lt;y</tag>\n</note>\n</en-export>";

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
    const char* bytes;
    DWORD exitCode;
  } cases[] = {
      {"<en-export><note><title>x</title>", 4},                      // malformed
      {"<en-export><note><title>A & B</title></note></en-export>", 4},  // bare ampersand
      {"<notes><note/></notes>", 5},                                  // not an export
      {"<en-export><note><title>t</title><content/><created>1</created></note></en-export>", 6},
      // Content that is not well-formed, each as a reader without the ENML DTD sees it.
      {"<en-export><note><title>t</title><content><![CDATA[<en-note>a &bull; b</en-note>]]>"
       "</content><created>1</created><updated>1</updated></note></en-export>", 8},
      {"<en-export><note><title>t</title><content><![CDATA[<en-note>a<br>b</en-note>]]>"
       "</content><created>1</created><updated>1</updated></note></en-export>", 8},
      {"<en-export><note><title>t</title><content><![CDATA[<en-note><a href=x>l</a></en-note>]]>"
       "</content><created>1</created><updated>1</updated></note></en-export>", 8},
  };
  for (const Case& c : cases) {
    WriteFileBytes(enscript.folder() + L"bad.enex", c.bytes);
    EXPECT_EQ(RunStandin(enscript, L"importNotes /sbad.enex"), c.exitCode) << c.bytes;
  }
  EXPECT_NE(RunStandin(enscript, L"importNotes /smissing.enex"), 0u);
  EXPECT_NE(RunStandin(enscript, L"exportNotes /sbad.enex"), 0u);
  EXPECT_TRUE(enscript.Notes().empty());
}

TEST(EnscriptStandinTest, FaultFileSetsTheExitCodeAfterImporting) {
  ScopedEnscript enscript(L"fault");
  WriteFileBytes(enscript.folder() + L"a.enex", kNote);
  enscript.SetFault("exit 9");
  EXPECT_EQ(RunStandin(enscript, L"importNotes /sa.enex"), 9u);
  EXPECT_EQ(enscript.Notes().size(), 1u);
}

}  // namespace
