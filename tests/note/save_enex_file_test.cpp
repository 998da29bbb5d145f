// Without ENScript (or when the user asks for files), a send through the real dialog
// saves the note as an ENEX file in the user's Documents and shows it. The dialog's code
// is linked into this program, so that Explorer's part is observed, not started.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/send_dialog.h"
#include "evernote/enex_file.h"
#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"
#include "tests/registry_fixture.h"

namespace {

const char kPage[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\plain Saved {\\b page}\\par}";

std::vector<std::wstring> revealed;
void RecordReveal(const WideString& path) { revealed.emplace_back(path.begin(), path.end()); }

std::vector<std::wstring> LogRows(HWND dialog) { return ListRows(GetDlgItem(dialog, 1003)); }

// The rows one press of Send added.
std::vector<std::wstring> SendOnce() {
  std::vector<std::wstring> added;
  UINT_PTR watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote, Released ["),
                                     [&](HWND dialog) {
                                       size_t before = LogRows(dialog).size();
                                       SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                                       std::vector<std::wstring> rows = LogRows(dialog);
                                       added.assign(rows.begin() + before, rows.end());
                                       PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                                     });
  OpenSendDialog(HostMainWindowHandle(), HostEditor(), u"Yarrin2Evernote", 0);
  CancelWindowWatch(watch);
  return added;
}

class SaveEnexFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEvernoteAppPaths();
    ResetHost();
    Host().nodeTitle = u"Weekly notes";
    SetEditorRtf(kPage);
    RemoveFolderTree(documents);
    CreateDirectoryW(documents.c_str(), nullptr);
    revealed.clear();
    previous = SetFileRevealer(RecordReveal);
  }
  void TearDown() override {
    SetFileRevealer(previous);
    RemoveEvernoteAppPaths();
    RemoveFolderTree(documents);
  }

  std::wstring Saved(const std::wstring& name) const { return folder + name; }

  const std::wstring documents = ProgramFolder() + L"Documents of T\u00e9st";
  const std::wstring folder = documents + L"\\Yarrin2Evernote\\";
  ScopedDocumentsFolder documentsFolder{documents};
  FileRevealer previous = nullptr;
};

TEST_F(SaveEnexFileTest, WithoutEnscriptTheNoteIsSavedShownAndReadable) {
  std::vector<std::wstring> rows = SendOnce();
  const std::wstring path = Saved(L"Weekly notes.enex");
  const std::vector<std::wstring> expected = {
      L"Convert text to HTML", L"==================", L"Start Yarrin2Evernote",
      L"ENScript, Evernote's import tool, is not installed: the note is saved as an ENEX file "
      L"instead.",
      L"Saved: " + path,
      L"To import it into Evernote, choose File, Import, \"ENEX file\" there and pick this file. "
      L"Other notes apps with an ENEX import take it as well.",
      L"End of Yarrin2Evernote"};
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(revealed, std::vector<std::wstring>{path});

  // A reader with Windows' own XML parser takes the file whole.
  ScopedEnscript reader(L"reader");
  ASSERT_EQ(reader.Run(L"importNotes /s \"" + path + L"\""), 0u);
  auto notes = reader.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, u"Weekly notes");
  EXPECT_NE(notes[0].content.find(u"Saved <b>page</b>"), WideString::npos);
}

TEST_F(SaveEnexFileTest, SameTitleAgainGetsANumberAndTheFirstFileStays) {
  SendOnce();
  const std::string first = ReadFileBytes(Saved(L"Weekly notes.enex"));
  ASSERT_FALSE(first.empty());
  Sleep(1100);  // another creation time, so that the two files differ
  SendOnce();
  EXPECT_EQ(ReadFileBytes(Saved(L"Weekly notes.enex")), first);
  const std::string second = ReadFileBytes(Saved(L"Weekly notes (2).enex"));
  EXPECT_FALSE(second.empty());
  EXPECT_NE(second, first);
  EXPECT_EQ(revealed.back(), Saved(L"Weekly notes (2).enex"));
}

TEST_F(SaveEnexFileTest, TitleOfForbiddenCharactersStillNamesAFile) {
  Host().nodeTitle = u"<>:\"/\\|?*";
  std::vector<std::wstring> rows = SendOnce();
  ASSERT_GE(rows.size(), 5u);
  EXPECT_EQ(rows[4], L"Saved: " + Saved(L"_________.enex"));
  EXPECT_FALSE(ReadFileBytes(Saved(L"_________.enex")).empty());
}

TEST_F(SaveEnexFileTest, SettingAsksForFilesEvenWithEnscript) {
  ScopedEnscript enscript(L"installed");
  {
    ScopedUserSetting files(L"SaveEnexFile", 1);
    std::vector<std::wstring> rows = SendOnce();
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[3], L"The note is saved as an ENEX file, as the setting SaveEnexFile asks.");
    EXPECT_FALSE(ReadFileBytes(Saved(L"Weekly notes.enex")).empty());
    EXPECT_TRUE(enscript.ImportLog().empty()) << "ENScript must not run";
  }
  // Without the setting the note goes to ENScript and no file is saved.
  std::vector<std::wstring> rows = SendOnce();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back(), L"End of Yarrin2Evernote");
  EXPECT_EQ(enscript.Notes().size(), 1u);
  EXPECT_EQ(EnexFilesIn(folder).size(), 1u);
  EXPECT_EQ(revealed.size(), 1u);
}

TEST_F(SaveEnexFileTest, DocumentsThatCannotTakeTheFolderIsAnError) {
  // A file stands where the sub-folder would go.
  RemoveFolderTree(documents + L"\\Yarrin2Evernote");
  WriteFileBytes(documents + L"\\Yarrin2Evernote", "in the way");
  std::vector<std::wstring> rows = SendOnce();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().rfind(L"ERROR: Cannot make the folder " + documents + L"\\Yarrin2Evernote: ", 0),
            0u)
      << rows.back().c_str();
  EXPECT_TRUE(revealed.empty());
}

// Every name Windows takes for a device, as a title in the forms pages have: with an
// extension, in any case, with blanks or dots before the extension. Each must become a
// real file that a reader takes whole, not a write into a device that reports success.
TEST_F(SaveEnexFileTest, DeviceNamesAsTitlesAreSavedAsRealFiles) {
  struct Case {
    const char16_t* title;
    const wchar_t* file;
  };
  const Case cases[] = {
      {u"CON", L"_CON.enex"},
      {u"prn.txt", L"_prn.txt.enex"},
      {u"Aux .log", L"_Aux .log.enex"},
      {u"NUL.txt", L"_NUL.txt.enex"},
      {u"COM0..md", L"_COM0..md.enex"},
      {u"com1.", L"_com1.enex"},
      {u"COM2 . txt", L"_COM2 . txt.enex"},
      {u"COM3.tar.gz", L"_COM3.tar.gz.enex"},
      {u"cOm4", L"_cOm4.enex"},
      {u"COM5.txt", L"_COM5.txt.enex"},
      {u"COM6  .txt", L"_COM6  .txt.enex"},
      {u"COM7..", L"_COM7.enex"},
      {u"com8.x", L"_com8.x.enex"},
      {u"COM9.TXT", L"_COM9.TXT.enex"},
      {u"LPT0.txt", L"_LPT0.txt.enex"},
      {u"lpt1", L"_lpt1.enex"},
      {u"LPT2 .doc", L"_LPT2 .doc.enex"},
      {u"Lpt3.", L"_Lpt3.enex"},
      {u"LPT4.a.b", L"_LPT4.a.b.enex"},
      {u"LPT5..txt", L"_LPT5..txt.enex"},
      {u"lPt6.txt", L"_lPt6.txt.enex"},
      {u"LPT7 ", L"_LPT7.enex"},
      {u"LPT8.txt", L"_LPT8.txt.enex"},
      {u"LPT9. .txt", L"_LPT9. .txt.enex"},
      {u"COM\u00b9.txt", L"_COM\u00b9.txt.enex"},
      {u"com\u00b2", L"_com\u00b2.enex"},
      {u"COM\u00b3 .log", L"_COM\u00b3 .log.enex"},
      {u"LPT\u00b9.txt", L"_LPT\u00b9.txt.enex"},
      {u"lpt\u00b2.", L"_lpt\u00b2.enex"},
      {u"LPT\u00b3", L"_LPT\u00b3.enex"},
      {u"CONIN$.txt", L"_CONIN$.txt.enex"},
      {u"conout$ .log", L"_conout$ .log.enex"},
  };
  for (const Case& c : cases) {
    const std::string title(WideView(c.title).begin(), WideView(c.title).end());
    Host().nodeTitle = c.title;
    std::vector<std::wstring> rows = SendOnce();
    const std::wstring path = Saved(c.file);
    ASSERT_GE(rows.size(), 5u) << title;
    EXPECT_EQ(rows[4], L"Saved: " + path) << title;
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << title << ": no file";
  }
  // Read back once all are saved: the reader registered as ENScript would take the sends.
  ScopedEnscript reader(L"device-reader");
  size_t read = 0;
  for (const Case& c : cases) {
    const std::string title(WideView(c.title).begin(), WideView(c.title).end());
    ASSERT_EQ(reader.Run(L"importNotes /s \"" + Saved(c.file) + L"\""), 0u) << title;
    auto notes = reader.Notes();
    ASSERT_EQ(notes.size(), ++read) << title;
    EXPECT_EQ(notes.back().title, WideString(c.title)) << title;
  }
  EXPECT_EQ(EnexFilesIn(folder).size(), std::size(cases));
}

// What stands behind "Saved:": a disk file holding every byte written.
TEST(ConfirmFileOnDiskTest, DevicesAndShortFilesAreNotSavedFiles) {
  WideString failure;
  HANDLE device = CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ConfirmFileOnDisk(device, 0, failure));
  EXPECT_EQ(failure, u"the name leads to a device, not to a file on disk");
  CloseHandle(device);

  const std::wstring path = ProgramFolder() + L"confirm-test.enex";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "12345", 5, &written, nullptr));
  EXPECT_FALSE(ConfirmFileOnDisk(file, 6, failure));
  EXPECT_EQ(failure, u"the file holds 5 bytes instead of 6");
  failure.clear();
  EXPECT_TRUE(ConfirmFileOnDisk(file, 5, failure));
  EXPECT_EQ(failure, u"");
  CloseHandle(file);
  DeleteFileW(path.c_str());
}

}  // namespace
