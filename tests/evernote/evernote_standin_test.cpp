// The notebook store that the stand-ins share, and the client stand-in listing it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "testbed/notebook_store.h"
#include "testbed/test_host.h"
#include "tests/evernote/standin_support.h"

namespace {

StoredNote SampleNote(const WideString& title, std::vector<WideString> tags) {
  StoredNote note;
  note.title = title;
  note.tags = std::move(tags);
  note.created = u"20160207T181556Z";
  note.updated = u"20160208T090000Z";
  note.content = u"<en-note><div>Caf\u00e9 \u2013 line</div>\r\n<div>two</div></en-note>";
  return note;
}

void WriteBytes(const std::wstring& path, const ByteString& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

WideString Wide(const std::wstring& text) { return WideFromPtr(text.c_str()); }

TEST(NotebookStore, FileLayoutIsTheDocumentedLineFormat) {
  ByteString file = FormatNoteFile(SampleNote(u"Shopping\nlist", {u"home", u"\u00e9t\u00e9"}));
  EXPECT_EQ(file,
            "title: Shopping list\n"
            "tag: home\n"
            "tag: \xC3\xA9t\xC3\xA9\n"
            "created: 20160207T181556Z\n"
            "updated: 20160208T090000Z\n"
            "\n"
            "<en-note><div>Caf\xC3\xA9 \xE2\x80\x93 line</div>\r\n<div>two</div></en-note>");
}

TEST(NotebookStore, ParsingTakesCrLfHeadersUnknownKeysAndRejectsAnUnendedHeader) {
  auto note = ParseNoteFile(
      "title: T\r\nsource: web\r\ncreated: 20200101T000000Z\r\n\r\n<en-note/>\r\n");
  ASSERT_TRUE(note);
  EXPECT_EQ(note->title, u"T");
  EXPECT_TRUE(note->tags.empty());
  EXPECT_EQ(note->created, u"20200101T000000Z");
  EXPECT_EQ(note->content, u"<en-note/>\r\n");
  EXPECT_TRUE(note->resources.empty());
  EXPECT_FALSE(ParseNoteFile("title: T\ntag: a"));
}

StoredResource SampleResource(const WideString& hash, const ByteString& bytes) {
  StoredResource resource;
  resource.mime = u"image/png";
  resource.hash = hash;
  resource.fileName = u"a\nb.png";
  resource.width = 96;
  resource.height = 48;
  resource.bytes = bytes;
  return resource;
}

TEST(NotebookStore, ResourcesAreHeaderLinesWithTheirBytesInFilesBeside) {
  StoredNote note = SampleNote(u"pictures", {});
  note.resources = {SampleResource(u"0123abcd", "PNG!"), SampleResource(u"..\\x", "")};
  note.resources[0].dataFile = u"note-0007-0123abcd.png";
  ByteString file = FormatNoteFile(note);
  const char kFirst[] =
      "updated: 20160208T090000Z\n"
      "resource: 0123abcd\nresource-mime: image/png\nresource-size: 4\nresource-width: 96\n"
      "resource-height: 48\nresource-file-name: a b.png\n"
      "resource-data: note-0007-0123abcd.png\nresource: ..\\x\n";
  EXPECT_NE(file.find(kFirst), ByteString::npos) << file;
  auto parsed = ParseNoteFile(file);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->resources.size(), 2u);
  EXPECT_EQ(parsed->resources[0].mime, u"image/png");
  EXPECT_EQ(parsed->resources[0].size, 4u);
  EXPECT_EQ(parsed->resources[0].height, 48);
  EXPECT_EQ(parsed->resources[0].fileName, u"a b.png");
  EXPECT_EQ(parsed->resources[0].dataFile, u"note-0007-0123abcd.png");
  EXPECT_EQ(parsed->resources[1].hash, u"..\\x");
  EXPECT_EQ(parsed->content, note.content);

  // Appended, each resource's bytes go into a file named for the note and the hash (what
  // could leave the folder left out), and come back with the note.
  ScratchFolder scratch;
  WideString folder = Wide(scratch.path()) + u"notebook";
  ASSERT_TRUE(AppendNote(folder, note));
  auto notes = ReadNotebook(folder);
  ASSERT_EQ(notes.size(), 1u);
  ASSERT_EQ(notes[0].resources.size(), 2u);
  EXPECT_EQ(notes[0].resources[0].dataFile, u"note-0001-0123abcd.png");
  EXPECT_EQ(notes[0].resources[0].bytes, "PNG!");
  EXPECT_EQ(notes[0].resources[1].dataFile, u"note-0001-x.png");
}

TEST(NotebookStore, AppendedNotesReadBackInArrivalOrder) {
  ScratchFolder scratch;
  WideString folder = Wide(scratch.path()) + u"notebook";
  EXPECT_TRUE(ReadNotebook(folder).empty()) << "a missing folder is an empty notebook";

  ASSERT_TRUE(AppendNote(folder, SampleNote(u"first", {})));
  // Numbers continue after the highest file, compared as numbers, not as names; other
  // files in the folder play no part.
  WriteBytes(scratch.path() + L"notebook\\note-0009.txt", FormatNoteFile(SampleNote(u"ninth", {})));
  WriteBytes(scratch.path() + L"notebook\\import-log.txt", "not a note\n");
  auto tenth = AppendNote(folder, SampleNote(u"tenth", {u"a", u"b"}));
  ASSERT_TRUE(tenth);
  EXPECT_EQ(tenth->substr(tenth->size() - 13), u"note-0010.txt");

  auto notes = ReadNotebook(folder);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].title, u"first");
  EXPECT_EQ(notes[1].title, u"ninth");
  EXPECT_EQ(notes[2].title, u"tenth");
  EXPECT_EQ(notes[2].tags, (std::vector<WideString>{u"a", u"b"}));
  EXPECT_EQ(notes[2].updated, u"20160208T090000Z");
  EXPECT_EQ(notes[2].content, SampleNote(u"", {}).content);
}

// Text of one list view cell of another process, through memory of that process.
std::wstring RemoteCellText(HWND list, int row, int column) {
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                               FALSE, processId);
  if (!process) return L"<no access>";
  constexpr int kChars = 256;
  auto* remote = static_cast<char*>(VirtualAllocEx(
      process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
  item.cchTextMax = kChars;
  WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
  wchar_t text[kChars] = {};
  ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text) - sizeof(wchar_t),
                    nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return text;
}

class ClientStandInTest : public ::testing::Test {
 protected:
  void SetUp() override { EndProcessesNamed(L"Evernote.exe"); }
  void TearDown() override { EndProcessesNamed(L"Evernote.exe"); }
};

TEST_F(ClientStandInTest, ListsTheNotebookBesideItAndFollowsIt) {
  ScratchFolder scratch;
  std::wstring client = scratch.path() + L"Evernote.exe";
  ASSERT_TRUE(CopyFileW(StandInPath().c_str(), client.c_str(), FALSE));
  WideString notebook = Wide(scratch.path()) + u"notebook";
  ASSERT_TRUE(AppendNote(notebook, SampleNote(u"Shopping list", {u"home", u"errands"})));
  StoredNote withResources = SampleNote(u"Second", {});
  withResources.resources.resize(2);
  ASSERT_TRUE(AppendNote(notebook, withResources));

  HANDLE process = StartProgram(client);
  ASSERT_NE(process, nullptr);
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = StandInWindowOf(GetProcessId(process))); }));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(window) == L"Evernote (stand-in) - 2 notes"; }))
      << "caption: " << WindowText(window);
  HWND list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(RemoteCellText(list, 0, 0), L"Shopping list");
  EXPECT_EQ(RemoteCellText(list, 0, 1), L"home, errands");
  EXPECT_EQ(RemoteCellText(list, 0, 2), L"2016-02-07 18:15:56 UTC");
  EXPECT_EQ(RemoteCellText(list, 1, 0), L"Second");
  EXPECT_EQ(RemoteCellText(list, 1, 3), L"2016-02-08 09:00:00 UTC");
  EXPECT_EQ(RemoteCellText(list, 0, 4), L"0");
  EXPECT_EQ(RemoteCellText(list, 1, 4), L"2");

  // A note imported while the client is open appears without a restart.
  ASSERT_TRUE(AppendNote(notebook, SampleNote(u"Third", {})));
  EXPECT_TRUE(WaitUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 3; }, 5000));
  EXPECT_EQ(RemoteCellText(list, 2, 0), L"Third");

  // Like Evernote it runs once: a second start ends without a window of its own.
  HANDLE second = StartProgram(client);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WaitForSingleObject(second, 10000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(second, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  CloseHandle(second);

  TerminateProcess(process, 9);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

}  // namespace
