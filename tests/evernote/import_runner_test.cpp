// The import runner against the ENScript stand-in under Wine: the log lines of every
// way through, the note file's place and fate, and what reaches ENScript.
#include <gtest/gtest.h>

#include "evernote/import_runner.h"
#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"

namespace {

bool IsDialogWindow(HWND window) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return lstrcmpW(className, L"#32770") == 0;
}

int CollectLine(const wchar_t* text, void* context) {
  static_cast<std::vector<std::wstring>*>(context)->push_back(text);
  return 0;
}

class ImportRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveEvernoteAppPaths(); }
  void TearDown() override { RemoveEvernoteAppPaths(); }

  ImportRequest Request() {
    ImportRequest request;
    request.content = &content;
    request.title = &title;
    request.logCallback = CollectLine;
    request.logContext = &log;
    request.showConsole = 0;
    return request;
  }

  WideString content = u"<P>Hello &amp; welcome</P>";
  WideString title = u"Weekly notes";
  std::vector<std::wstring> log;
};

TEST_F(ImportRunnerTest, SuccessfulRunImportsTheNoteAndLogsFiveLines) {
  ScopedEnscript enscript(L"success");
  WideString tags = u"work, plans";
  ImportRequest request = Request();
  request.tags = &tags;
  ASSERT_TRUE(RunImport(request));

  std::vector<std::wstring> expected = {
      L"==================", L"Start Yarrin2Evernote", L"ENScript path: " + enscript.exePath(),
      L"ENScript started " + enscript.exePath(), L"End of Yarrin2Evernote"};
  EXPECT_EQ(log, expected);
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, u"Weekly notes");
  EXPECT_EQ(notes[0].tags, (std::vector<WideString>{u"work", u"plans"}));
  EXPECT_NE(notes[0].content.find(u">" + content + u"</en-note>"), WideString::npos);
  EXPECT_TRUE(enscript.NoteFilesLeft().empty());
}

TEST_F(ImportRunnerTest, ArgumentHasNoBlankAfterTheOptionAndEnscriptRunsInItsFolder) {
  ScopedEnscript enscript(L"arguments");
  ASSERT_TRUE(RunImport(Request()));
  auto lines = enscript.ImportLog();
  ASSERT_EQ(lines.size(), 1u);
  std::string line = lines[0];
  EXPECT_EQ(line.rfind("args=importNotes /sabc", 0), 0u) << line;
  EXPECT_NE(line.find(".TMP.enex\t"), std::string::npos) << line;
  std::string folder(enscript.folder().begin(), enscript.folder().end() - 1);
  EXPECT_NE(line.find("cwd=" + folder), std::string::npos) << line;
}

TEST_F(ImportRunnerTest, ShowModeFollowsTheRequest) {
  ScopedEnscript enscript(L"show");
  ImportRequest request = Request();
  request.showConsole = 0;
  ASSERT_TRUE(RunImport(request));
  request.showConsole = 1;
  ASSERT_TRUE(RunImport(request));
  auto lines = enscript.ImportLog();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("show=hidden"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("show=shown 5"), std::string::npos) << lines[1];
}

TEST_F(ImportRunnerTest, MissingContentIsAnError) {
  ScopedEnscript enscript(L"nocontent");
  ImportRequest request = Request();
  request.content = nullptr;
  EXPECT_FALSE(RunImport(request));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"==================", L"Start Yarrin2Evernote",
                                            L"ERROR: Content not specified"}));
  EXPECT_TRUE(enscript.ImportLog().empty());
}

TEST_F(ImportRunnerTest, EmptyContentAndNoTitleStillImport) {
  ScopedEnscript enscript(L"empty");
  WideString empty;
  ImportRequest request = Request();
  request.content = &empty;
  request.title = nullptr;
  ASSERT_TRUE(RunImport(request));
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, u"The Default Title ");
}

TEST_F(ImportRunnerTest, WithoutEnscriptTheRunStopsAtThePath) {
  EXPECT_FALSE(RunImport(Request()));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"==================", L"Start Yarrin2Evernote",
                                            L"ERROR: Cannot get ENScript path"}));
}

TEST_F(ImportRunnerTest, UnwritableFolderIsReportedWithTheFilePath) {
  ScopedAppPath enscript(L"ENScript.exe", L"C:\\no such folder\\ENScript.exe");
  EXPECT_FALSE(RunImport(Request()));
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[3].rfind(L"ERROR: Cannot create temp file C:\\no such folder\\abc", 0), 0u)
      << log[3].c_str();
  EXPECT_NE(log[3].find(L".TMP.enex"), std::wstring::npos);
}

TEST_F(ImportRunnerTest, FailingEnscriptStillEndsTheRunAndTheFileIsGone) {
  ScopedEnscript enscript(L"failing");
  enscript.SetFault("exit 7");
  EXPECT_TRUE(RunImport(Request()));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), L"End of Yarrin2Evernote");
  EXPECT_TRUE(enscript.NoteFilesLeft().empty());
}

TEST_F(ImportRunnerTest, RunnerWaitsForEnscriptToEnd) {
  ScopedEnscript enscript(L"slow");
  enscript.SetFault("sleep 1500");
  DWORD start = GetTickCount();
  EXPECT_TRUE(RunImport(Request()));
  EXPECT_GE(GetTickCount() - start, 1400u);
  EXPECT_EQ(enscript.Notes().size(), 1u) << "the note must have arrived when the runner returns";
}

TEST_F(ImportRunnerTest, UnstartableEnscriptIsReportedAndTheFileIsGone) {
  ScopedEnscript enscript(L"unstartable");
  WriteFileBytes(enscript.exePath(), "not a program");
  // The shell tells the user that the program cannot run, in a box of its own.
  std::wstring shellMessage;
  auto watch = WhenWindowAppears(
      IsDialogWindow,
      [&](HWND box) {
        shellMessage = WindowText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      });
  EXPECT_FALSE(RunImport(Request()));
  CancelWindowWatch(watch);
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[3], L"ERROR: Cannot start ENScript " + enscript.exePath());
  EXPECT_TRUE(enscript.NoteFilesLeft().empty());
}

TEST_F(ImportRunnerTest, ExistingFilesWithTheNamesTheRunnerWouldPickSurvive) {
  ScopedEnscript enscript(L"taken");
  WideString folder(enscript.folder().begin(), enscript.folder().end());
  // Names are taken for a stretch of clock readings a little ahead; the run starts
  // inside that stretch, so its first choices all belong to someone else's files.
  constexpr DWORD kLead = 5000, kStretch = 600;
  DWORD start = GetTickCount() + kLead;
  std::vector<std::wstring> taken;
  for (DWORD n = start; n < start + kStretch; ++n) {
    WideString name = NewTempFileName(folder, u"enex", n);
    taken.emplace_back(name.begin(), name.end());
    WriteFileBytes(taken.back(), "keep me");
  }
  ASSERT_LT(static_cast<LONG>(GetTickCount() - start), 0) << "taking the names took too long";
  while (static_cast<LONG>(GetTickCount() - start) < 0) Sleep(5);

  ASSERT_LT(GetTickCount() - start, kStretch / 2);
  ASSERT_TRUE(RunImport(Request()));
  EXPECT_EQ(enscript.Notes().size(), 1u);
  for (const std::wstring& path : taken) ASSERT_EQ(ReadFileBytes(path), "keep me") << path.c_str();
  EXPECT_EQ(enscript.NoteFilesLeft().size(), taken.size());
}

TEST(TempFileNameTest, NameIsBuiltFromFolderPrefixNumberAndExtension) {
  EXPECT_EQ(NewTempFileName(u"C:\\Tools", u"enex", 0x51F2A), u"C:\\Tools\\abc1F2A.TMP.enex");
  EXPECT_EQ(NewTempFileName(u"C:\\Tools\\", u".enex", 0x1F2A), u"C:\\Tools\\abc1F2A.TMP.enex");
  EXPECT_EQ(NewTempFileName(u"C:\\T", u"enex.", 0x0F), u"C:\\T\\abcF.TMP.enex.");
  WideString inTemp = NewTempFileName(u"", u"enex", 0x10);
  EXPECT_EQ(inTemp, TempFolderPath() + u"abc10.TMP.enex");
  EXPECT_EQ(NewTempFileName(u"C:\\T", u"enex", 0x10000), u"C:\\T\\abc1.TMP.enex")
      << "a number whose low 16 bits are 0 names no file";
}

}  // namespace
