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

  const std::wstring documents = TestProgramFolder() + L"Documents of T\u00e9st";
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

}  // namespace
