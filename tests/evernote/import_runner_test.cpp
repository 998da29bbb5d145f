// The import runner against the ENScript stand-in under Wine: the log lines of every
// way through, the note file's place and fate, and what reaches ENScript.
#include <gtest/gtest.h>

#include <new>

#include "evernote/enex_file.h"
#include "evernote/import_runner.h"
#include "win/message_wait.h"
#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"
#include "tests/registry_fixture.h"

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

std::wstring Wide(const std::string& utf8) {
  std::wstring text(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                      static_cast<int>(text.size()));
  return text;
}

class ImportRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEvernoteAppPaths();
    note.title = u"Weekly notes";
    note.content = {"<p>Hello &amp; ", "welcome</p>"};
    settings.log = {CollectLine, &log};
  }
  void TearDown() override { RemoveEvernoteAppPaths(); }

  // A user whose name and temporary folder hold blanks and letters beyond Latin.
  ScopedTempFolder temp{L"profile\\Test User \u0416\u0430\u043d\\AppData\\Local\\Temp \u00e9\u00df"};

  WideString content = u"<p>Hello &amp; welcome</p>";
  Note note;
  ImportSettings settings;
  std::vector<std::wstring> log;
};

TEST_F(ImportRunnerTest, SuccessfulRunImportsTheNoteAndLogsFiveLines) {
  ScopedEnscript enscript(L"success");
  note.tags = u"work, plans";
  ASSERT_TRUE(RunImport(note, settings));

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

TEST_F(ImportRunnerTest, NoteFileInTheTempFolderIsHandedOverByItsQuotedFullPath) {
  ScopedEnscript enscript(L"arguments");
  ASSERT_TRUE(RunImport(note, settings));
  auto lines = enscript.ImportLog();
  ASSERT_EQ(lines.size(), 1u);
  std::wstring line = Wide(lines[0]);
  const std::wstring start = L"args=importNotes /s " + temp.folder() + L"abc";
  EXPECT_EQ(line.rfind(start, 0), 0u) << lines[0];
  EXPECT_NE(line.find(L".TMP.enex\t"), std::wstring::npos) << lines[0];
  // Four hexadecimal digits, as the system names its temporary files.
  std::wstring digits = line.substr(start.size(), 4);
  EXPECT_EQ(digits.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos) << lines[0];
  std::wstring folder = enscript.folder().substr(0, enscript.folder().size() - 1);
  EXPECT_NE(line.find(L"cwd=" + folder), std::wstring::npos) << lines[0];
  EXPECT_EQ(enscript.Notes().size(), 1u);
  EXPECT_TRUE(EnexFilesIn(temp.folder()).empty());
  EXPECT_TRUE(enscript.NoteFilesLeft().empty());
}

// Set up by the test run: ENScript in a folder whose entries nobody may change (made so
// with chattr +i), with its notebook folder inside ready, as under Program Files.
TEST_F(ImportRunnerTest, EnscriptFolderThatNobodyMayWriteIntoStillImports) {
  const std::wstring folder = ProgramFolder() + L"locked-enscript\\";
  if (GetFileAttributesW((folder + L"ENScript.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the run did not prepare a locked ENScript folder";
  HANDLE probe = CreateFileW((folder + L"probe.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_NEW, 0, nullptr);
  ASSERT_EQ(probe, INVALID_HANDLE_VALUE) << "the folder is writable after all";
  ScopedAppPath appPath(L"ENScript.exe", folder + L"ENScript.exe");
  const std::wstring notebook = folder + L"notebook";
  size_t before = ReadNotebook(WideString(notebook.begin(), notebook.end())).size();
  ASSERT_TRUE(RunImport(note, settings));
  auto notes = ReadNotebook(WideString(notebook.begin(), notebook.end()));
  ASSERT_EQ(notes.size(), before + 1);
  EXPECT_EQ(notes.back().title, u"Weekly notes");
  EXPECT_TRUE(EnexFilesIn(temp.folder()).empty());
}

TEST_F(ImportRunnerTest, ShowModeFollowsTheRequest) {
  ScopedEnscript enscript(L"show");
  settings.showConsole = false;
  ASSERT_TRUE(RunImport(note, settings));
  settings.showConsole = true;
  ASSERT_TRUE(RunImport(note, settings));
  auto lines = enscript.ImportLog();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("show=hidden"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("show=shown 5"), std::string::npos) << lines[1];
}

TEST_F(ImportRunnerTest, EmptyContentAndNoTitleStillImport) {
  ScopedEnscript enscript(L"empty");
  note.content.clear();
  note.title.clear();
  ASSERT_TRUE(RunImport(note, settings));
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, u"The Default Title ");
}

std::vector<std::wstring> shown;
void RecordShown(const WideString& path) { shown.emplace_back(path.begin(), path.end()); }

TEST_F(ImportRunnerTest, WithoutEnscriptTheNoteIsSavedAsAFileAndShown) {
  const std::wstring documents = ProgramFolder() + L"runner-documents";
  RemoveFolderTree(documents);
  CreateDirectoryW(documents.c_str(), nullptr);
  ScopedDocumentsFolder pointed(documents);
  shown.clear();
  FileRevealer previous = SetFileRevealer(RecordShown);
  EXPECT_TRUE(RunImport(note, settings));
  SetFileRevealer(previous);
  const std::wstring path = documents + L"\\Yarrin2Evernote\\Weekly notes.enex";
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[3], L"Saved: " + path);
  EXPECT_EQ(log[5], L"End of Yarrin2Evernote");
  EXPECT_EQ(shown, std::vector<std::wstring>{path});
  std::string saved = ReadFileBytes(path);
  EXPECT_NE(saved.find("<title>Weekly notes</title>"), std::string::npos);
  EXPECT_TRUE(EnexFilesIn(temp.folder()).empty());
  RemoveFolderTree(documents);
}

// Writes as WriteFile does until 100 bytes in all, then fails as a full disk does.
DWORD writtenBeforeFull = 0;
BOOL WriteUntilDiskFull(HANDLE file, const void* data, DWORD size, DWORD* written) {
  const DWORD room = 100 - writtenBeforeFull;
  const DWORD part = size < room ? size : room;
  if (!WriteFile(file, data, part, written, nullptr)) return FALSE;
  writtenBeforeFull += *written;
  if (part == size) return TRUE;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

// Says every byte is written but writes only the first 100, as a write cached for a
// network share that fails later.
BOOL WriteFirstBytesOnly(HANDLE file, const void* data, DWORD size, DWORD* written) {
  const DWORD room = 100 - writtenBeforeFull;
  const DWORD part = size < room ? size : room;
  if (!WriteFile(file, data, part, written, nullptr)) return FALSE;
  writtenBeforeFull += *written;
  *written = size;
  return TRUE;
}

// A disk that fills up part of the way, or a write that claims more than reached the disk,
// for the note file ENScript would read and for the file saved for the user alike: an
// ERROR line with the reason, and no part of a note left behind.
TEST_F(ImportRunnerTest, WriteThatFailsOrFallsShortLeavesNoFileBehind) {
  const std::wstring documents = ProgramFolder() + L"full-documents";
  RemoveFolderTree(documents);
  CreateDirectoryW(documents.c_str(), nullptr);
  ScopedDocumentsFolder pointed(documents);
  const std::wstring saved = documents + L"\\Yarrin2Evernote\\";
  const struct {
    const char* name;
    FileWriter writer;
    const wchar_t* reason;  // found in the ERROR line
  } cases[] = {
      {"disk full", WriteUntilDiskFull, L"(error 112)"},
      {"short write", WriteFirstBytesOnly, L"the file holds 100 bytes instead of "},
  };
  for (const auto& c : cases) {
    struct Hooks {  // put back on every way out, a failed assertion included
      FileWriter writer;
      FileRevealer revealer;
      ~Hooks() { SetFileWriter(writer), SetFileRevealer(revealer); }
    } hooks{SetFileWriter(c.writer), SetFileRevealer(RecordShown)};
    shown.clear();
    {
      ScopedEnscript enscript(L"diskfull");
      log.clear();
      writtenBeforeFull = 0;
      EXPECT_FALSE(RunImport(note, settings)) << c.name;
      ASSERT_EQ(log.size(), 4u) << c.name;
      const std::wstring start = L"ERROR: Cannot write temp file " + temp.folder() + L"abc";
      EXPECT_EQ(log[3].rfind(start, 0), 0u) << c.name << ": " << log[3].c_str();
      EXPECT_NE(log[3].find(L".TMP.enex: "), std::wstring::npos) << c.name << ": " << log[3].c_str();
      EXPECT_NE(log[3].find(c.reason), std::wstring::npos) << c.name << ": " << log[3].c_str();
      EXPECT_EQ(writtenBeforeFull, 100u) << c.name;
      EXPECT_TRUE(enscript.ImportLog().empty()) << c.name;
      EXPECT_TRUE(EnexFilesIn(temp.folder()).empty()) << c.name;
    }
    log.clear();
    writtenBeforeFull = 0;
    EXPECT_FALSE(RunImport(note, settings)) << c.name;  // no ENScript: saved for the user
    ASSERT_EQ(log.size(), 4u) << c.name;
    const std::wstring start = L"ERROR: Cannot write the file " + saved + L"Weekly notes.enex: ";
    EXPECT_EQ(log[3].rfind(start, 0), 0u) << c.name << ": " << log[3].c_str();
    EXPECT_NE(log[3].find(c.reason), std::wstring::npos) << c.name << ": " << log[3].c_str();
    EXPECT_EQ(log[3].substr(log[3].size() - 24), L"; the note was not saved") << c.name;
    EXPECT_TRUE(EnexFilesIn(saved).empty()) << c.name;
    EXPECT_TRUE(shown.empty()) << c.name;
  }
  RemoveFolderTree(documents);
}

TEST_F(ImportRunnerTest, MissingTempFolderIsReportedWithTheFilePath) {
  ScopedEnscript enscript(L"notemp");
  SetEnvironmentVariableW(L"TMP", L"C:\\no such folder\\");
  EXPECT_FALSE(RunImport(note, settings));
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[3].rfind(L"ERROR: Cannot create temp file C:\\no such folder\\abc", 0), 0u)
      << log[3].c_str();
  // The system's reason follows the path: here that the folder is not there.
  const std::wstring reason = log[3].substr(log[3].find(L".TMP.enex") + 9);
  EXPECT_EQ(reason.rfind(L": ", 0), 0u) << log[3].c_str();
  EXPECT_NE(reason.find(L"(error 3)"), std::wstring::npos) << log[3].c_str();
  EXPECT_TRUE(enscript.ImportLog().empty());
}

TEST_F(ImportRunnerTest, NonZeroExitCodeIsAFailureAndTheFileIsGone) {
  ScopedEnscript enscript(L"failing");
  for (const char* fault : {"exit 7", "exit 3221225477"}) {
    enscript.SetFault(fault);
    log.clear();
    EXPECT_FALSE(RunImport(note, settings)) << fault;
    ASSERT_EQ(log.size(), 5u) << fault;
    EXPECT_EQ(log[3], L"ENScript started " + enscript.exePath());
    EXPECT_EQ(log[4].rfind(L"ERROR: ENScript ended with exit code ", 0), 0u) << log[4].c_str();
    EXPECT_TRUE(EnexFilesIn(temp.folder()).empty());
  }
  EXPECT_EQ(log[4], L"ERROR: ENScript ended with exit code 3221225477 (0xC0000005: ENScript "
                    L"stopped with a system error); the note was not imported");
}

TEST_F(ImportRunnerTest, WaitSaysSoInTheLogAndEndsWithEnscript) {
  ScopedEnscript enscript(L"slow");
  enscript.SetFault("sleep 1500");
  settings.waitNoticeMs = 400;
  DWORD start = GetTickCount();
  EXPECT_TRUE(RunImport(note, settings));
  EXPECT_GE(GetTickCount() - start, 1400u);
  EXPECT_EQ(enscript.Notes().size(), 1u) << "the note must have arrived when the runner returns";
  int notices = 0;
  for (const std::wstring& line : log)
    notices += line.rfind(L"Still waiting for ENScript to finish (", 0) == 0;
  EXPECT_GE(notices, 2);
  EXPECT_LE(notices, 4);
  EXPECT_EQ(log.back(), L"End of Yarrin2Evernote");
}

int timerTicks = 0;
void CALLBACK CountTickAndQuitOnce(HWND, UINT, UINT_PTR, DWORD) {
  if (++timerTicks == 1) PostQuitMessage(5);
}

// A log line that cannot be written (memory running out, say) right after ENScript
// started: the run unwinds, but only once ENScript has ended, and the note file goes.
// Meanwhile the thread's messages are served, a WM_QUIT among them, which is handed
// back afterwards.
TEST_F(ImportRunnerTest, ExceptionAfterTheStartWaitsServingMessagesAndDeletesTheFile) {
  ScopedEnscript enscript(L"throwing");
  enscript.SetFault("sleep 1200");
  settings.log.callback = [](const wchar_t* text, void* context) -> int {
    CollectLine(text, context);
    if (std::wstring(text).rfind(L"ENScript started", 0) == 0) throw std::bad_alloc();
    return 0;
  };
  timerTicks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, CountTickAndQuitOnce);
  DWORD start = GetTickCount();
  EXPECT_THROW(RunImport(note, settings), std::bad_alloc);
  KillTimer(nullptr, timer);
  EXPECT_GE(GetTickCount() - start, 1100u) << "ENScript was left running";
  EXPECT_GE(timerTicks, 5) << "the wait did not serve the thread's messages after the quit";
  MSG quit{};
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the WM_QUIT was lost";
  EXPECT_EQ(quit.wParam, 5u);
  EXPECT_EQ(enscript.Notes().size(), 1u);
  EXPECT_TRUE(EnexFilesIn(temp.folder()).empty());
}

// The note file is gone before the run's last line is logged, whatever ENScript said.
TEST_F(ImportRunnerTest, NoteFileIsDeletedBeforeTheLastLine) {
  ScopedEnscript enscript(L"order");
  struct Record {
    std::wstring folder;
    std::vector<std::wstring> lines;
    std::vector<size_t> filesLeft;  // note files in the folder as each line was logged
  } record{temp.folder(), {}, {}};
  for (const char* fault : {"exit 0", "exit 7"}) {
    enscript.SetFault(fault);
    record.lines.clear();
    record.filesLeft.clear();
    settings.log = {[](const wchar_t* text, void* context) -> int {
                     auto* seen = static_cast<Record*>(context);
                     seen->lines.push_back(text);
                     seen->filesLeft.push_back(EnexFilesIn(seen->folder).size());
                     return 0;
                   },
                   &record};
    RunImport(note, settings);
    ASSERT_EQ(record.lines.size(), 5u) << fault;
    EXPECT_EQ(record.lines[3], L"ENScript started " + enscript.exePath()) << fault;
    EXPECT_EQ(record.filesLeft[3], 1u) << fault << ": the note file was not there for ENScript";
    EXPECT_EQ(record.filesLeft[4], 0u) << fault << ": " << record.lines[4].c_str();
  }
}

// The system refuses to wait (as for a handle no longer valid) while ENScript still runs.
DWORD WINAPI FailToWait(DWORD, const HANDLE*, DWORD, DWORD, DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

// A wait that fails is not an exit code: the run says what failed and keeps the note
// file, which the still running ENScript imports afterwards; the same when a log line
// throws before the wait and the wait on the way out fails.
TEST_F(ImportRunnerTest, FailedWaitKeepsTheNoteFileForTheRunningEnscript) {
  for (bool throwingLog : {false, true}) {
    ScopedEnscript enscript(L"waitfails");
    enscript.SetFault("sleep 1000");
    log.clear();
    if (throwingLog)
      settings.log.callback = [](const wchar_t* text, void* context) -> int {
        CollectLine(text, context);
        if (std::wstring(text).rfind(L"ENScript started", 0) == 0) throw std::bad_alloc();
        return 0;
      };
    struct Hook {  // put back on every way out
      SystemWait wait;
      ~Hook() { SetSystemWait(wait); }
    } hook{SetSystemWait(FailToWait)};
    if (throwingLog) {
      EXPECT_THROW(RunImport(note, settings), std::bad_alloc);
    } else {
      EXPECT_FALSE(RunImport(note, settings));
    }
    SetSystemWait(hook.wait);
    const std::vector<std::wstring> kept = EnexFilesIn(temp.folder());
    ASSERT_EQ(kept.size(), 1u) << "throwing " << throwingLog << ": the note file is gone";
    if (!throwingLog) {
      ASSERT_EQ(log.size(), 5u);
      EXPECT_EQ(log[4].rfind(L"ERROR: Cannot wait for ENScript to end: ", 0), 0u) << log[4].c_str();
      EXPECT_NE(log[4].find(L"(error 6); it may still import the note. The note file is kept: " +
                            temp.folder() + kept[0]),
                std::wstring::npos)
          << log[4].c_str();
    }
    for (DWORD start = GetTickCount(); enscript.Notes().empty() && GetTickCount() - start < 15000;)
      Sleep(50);
    EXPECT_EQ(enscript.Notes().size(), 1u) << "throwing " << throwingLog << ": ENScript had no file";
    DeleteFileW((temp.folder() + kept[0]).c_str());
  }
}

TEST_F(ImportRunnerTest, UnstartableEnscriptIsReportedWithoutABoxAndTheFileIsGone) {
  ScopedEnscript enscript(L"unstartable");
  WriteFileBytes(enscript.exePath(), "not a program");
  bool boxShown = false;
  auto watch = WhenWindowAppears(IsDialogWindow, [&](HWND box) {
    boxShown = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_FALSE(RunImport(note, settings));
  PumpMessages(500);
  CancelWindowWatch(watch);
  EXPECT_FALSE(boxShown) << "the shell showed a box of its own";
  ASSERT_EQ(log.size(), 4u);
  const std::wstring start = L"ERROR: Cannot start ENScript " + enscript.exePath() + L": ";
  EXPECT_EQ(log[3].rfind(start, 0), 0u) << log[3].c_str();
  EXPECT_NE(log[3].find(L"(error "), std::wstring::npos) << log[3].c_str();
  EXPECT_TRUE(EnexFilesIn(temp.folder()).empty());
}

TEST_F(ImportRunnerTest, ExistingFilesWithTheNamesTheRunnerWouldPickSurvive) {
  ScopedEnscript enscript(L"taken");
  WideString folder(temp.folder().begin(), temp.folder().end());
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
  ASSERT_TRUE(RunImport(note, settings));
  EXPECT_EQ(enscript.Notes().size(), 1u);
  for (const std::wstring& path : taken) ASSERT_EQ(ReadFileBytes(path), "keep me") << path.c_str();
  EXPECT_EQ(EnexFilesIn(temp.folder()).size(), taken.size());
}

TEST(TempFileNameTest, NameIsBuiltFromFolderPrefixNumberAndExtension) {
  EXPECT_EQ(NewTempFileName(u"C:\\Tools", u"enex", 0x51F2A), u"C:\\Tools\\abc1F2A.TMP.enex");
  EXPECT_EQ(NewTempFileName(u"C:\\Tools\\", u".enex", 0x1F2A), u"C:\\Tools\\abc1F2A.TMP.enex");
  EXPECT_EQ(NewTempFileName(u"C:\\T", u"enex.", 0x0F), u"C:\\T\\abc000F.TMP.enex.");
  WideString inTemp = NewTempFileName(u"", u"enex", 0x10);
  EXPECT_EQ(inTemp, TempFolderPath() + u"abc0010.TMP.enex");
  EXPECT_EQ(NewTempFileName(u"C:\\T", u"enex", 0x10000), u"C:\\T\\abc0001.TMP.enex")
      << "a number whose low 16 bits are 0 names no file";
}

}  // namespace
