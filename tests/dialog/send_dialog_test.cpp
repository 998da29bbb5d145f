// The send dialog as the host opens it: menu command 0 of the real plug-in DLL, driven
// while its modal loop runs, its controls read and closed again.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <tlhelp32.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dialog/log_list.h"
#include "dialog/send_dialog.h"
#include "resources/resource_ids.h"
#include "testbed/screenshot.h"
#include "tests/dialog/list_state.h"
#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"
#include "tests/rtf_capture.h"
#include "tests/registry_fixture.h"

namespace {

const std::wstring kCaptionPrefix = L"Yarrin2Evernote 1.04, Released [";
const std::wstring kCaption = L"Yarrin2Evernote 1.04, Released [Feb  7 2016 18:15:56] - Notes";
const std::wstring kFolderWarning = L"Cannot save folder into Evernote.\nSelect any node with text.";

// A page with a font, a colour, a bold word and Cyrillic text. Wine's reader needs \plain
// at the start, or it gives the first run the format of the second.
const char kHostRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
    "{\\colortbl;\\red255\\green0\\blue0;}\\pard\\plain "
    "Plain {\\b bold} {\\f1\\cf1 \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090?} end\\par}";
const std::wstring kHostText = L"Plain bold \u041f\u0440\u0438\u0432\u0435\u0442 end";

std::wstring WithoutFinalBreak(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

std::vector<std::wstring> LogRows(HWND dialog) { return ListRows(GetDlgItem(dialog, IDC_LOG_LIST)); }

CHARRANGE SelectionOf(HWND richEdit) {
  CHARRANGE range{-1, -1};
  SendMessageW(richEdit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range;
}

// Pumps this thread's messages until done() holds or timeoutMs has passed.
bool WaitUntilTrue(const std::function<bool()>& done, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); !done(); PumpMessages(50))
    if (GetTickCount() - start > timeoutMs) return false;
  return true;
}

bool IsSendButtonEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; }

// Presses a button of the dialog and lets the dialog handle it before returning.
void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  PumpMessages(100);
}

// Runs menu command 0; inspect runs once the dialog is shown, then the dialog is closed.
// Returns whether the dialog was seen.
bool WithOpenDialog(const std::function<void(HWND)>& inspect) {
  bool seen = false;
  UINT_PTR watch = WhenWindowAppears(DialogCaptionStartingWith(kCaptionPrefix), [&](HWND dialog) {
    seen = true;
    inspect(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(RunPluginCommand(0), 1);
  CancelWindowWatch(watch);
  return seen;
}

class SendDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEvernoteAppPaths();
    ResetHost();
    ASSERT_NE(Plugin().module, nullptr);
    RegisterPluginWithHost();
    SetEditorRtf(kHostRtf);
    SelectInEditor(0, 0);
  }
  void TearDown() override {
    SetCallbackMissing("YHC_GetOptions", false);
    RemoveEvernoteAppPaths();
  }
};

TEST_F(SendDialogTest, CaptionOwnerAndOpeningLogLines) {
  ScopedAppPath evernote(L"Evernote.exe", L"C:\\EN\\Evernote.exe");
  ScopedAppPath enscript(L"ENScript.exe", L"C:\\EN\\ENScript.exe");
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(dialog), kCaption);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), HostMainWindowHandle());
    EXPECT_EQ(LogRows(dialog), (std::vector<std::wstring>{L"Evernote Path: C:\\EN\\Evernote.exe",
                                                          L"ENScript Path: C:\\EN\\ENScript.exe",
                                                          kCaption}));
  }));

  Host().tags = u"work, ideas";
  Host().nodeTitle = u"Other page";
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    std::vector<std::wstring> rows = LogRows(dialog);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2], L"Yarrin2Evernote 1.04, Released [Feb  7 2016 18:15:56] - Other page");
    EXPECT_EQ(rows[3], L"Tags: work, ideas");
  }));
}

// The opening lines and each send's lines go in one batch each: the list ends as adding
// them one by one leaves it, its scroll bar appearing on the way.
TEST_F(SendDialogTest, LogAfterTheOpeningAndAfterEachSendIsAsLineByLine) {
  ScopedEnscript enscript(L"batches");
  Host().tags = u"work";
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LOG_LIST);
    EXPECT_EQ(StateOf(list).rows.size(), 4u);
    EXPECT_EQ(StateOf(list), LineByLineState(list)) << "after the opening";
    for (int send = 1; send <= 3; ++send) {
      Press(dialog, IDOK);
      const ListState state = StateOf(list);
      ASSERT_EQ(state.rows.back(), L"End of Yarrin2Evernote") << "send " << send;
      EXPECT_TRUE(state.lastRowShows) << "send " << send;
      EXPECT_EQ(state, LineByLineState(list)) << "send " << send;
    }
    EXPECT_GT(StateOf(list).top, 0) << "the log never needed its scroll bar";
  }));
}

TEST_F(SendDialogTest, WithoutMainWindowOrEditorTheDialogStillOpens) {
  Host().mainWindowAvailable = false;
  EventInfo noEditor{};
  noEditor.eventCode = kEventEditorWindow;
  noEditor.eventValue = nullptr;
  Plugin().eventHandler(&noEditor);
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_RICH_EDIT)), L"");
    EXPECT_EQ(LogRows(dialog).size(), 3u);
  }));
}

TEST_F(SendDialogTest, ConsoleCheckBoxIsUncheckedAtEveryOpening) {
  for (int opening = 0; opening < 2; ++opening) {
    ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
      EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHOW_CONSOLE), BST_UNCHECKED) << opening;
      CheckDlgButton(dialog, IDC_SHOW_CONSOLE, BST_CHECKED);
    }));
  }
}

TEST_F(SendDialogTest, RichEditHoldsTheHostsSelectionAtTheHostsPositions) {
  SelectInEditor(6, 17);  // "bold Привет"
  Host().commandCalls.clear();
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
    EXPECT_EQ(WithoutFinalBreak(WindowText(richEdit)), L"bold \u041f\u0440\u0438\u0432\u0435\u0442");
    // Positions are the host's, although the text here starts at the selection.
    EXPECT_EQ(SelectionOf(richEdit).cpMin, 6);
    ByteString rtf = CapturedRtf(richEdit, RichEditPart::kWholeText);
    EXPECT_NE(rtf.find("\\b"), ByteString::npos) << rtf;
    EXPECT_NE(rtf.find("bold\\b0"), ByteString::npos) << rtf;
    EXPECT_NE(rtf.find("Courier New"), ByteString::npos) << rtf;
    EXPECT_NE(rtf.find("\\red255\\green0\\blue0"), ByteString::npos) << rtf;
    EXPECT_EQ(rtf.find("Plain"), ByteString::npos) << rtf;
  }));
  EXPECT_EQ(Host().commandCalls[kHostBeforeEditorRead], 1);
}

TEST_F(SendDialogTest, WithoutSelectionTheWholePageIsShownWithTheCaretWhereItWas) {
  SelectInEditor(9, 9);
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
    EXPECT_EQ(WithoutFinalBreak(WindowText(richEdit)), kHostText);
    CHARRANGE caret = SelectionOf(richEdit);
    EXPECT_EQ(caret.cpMin, 9);
    EXPECT_EQ(caret.cpMax, 9);
    ByteString rtf = CapturedRtf(richEdit, RichEditPart::kWholeText);
    EXPECT_NE(rtf.find("\\u1055?"), ByteString::npos) << rtf;
    EXPECT_NE(rtf.find("Courier New"), ByteString::npos) << rtf;
  }));
}

TEST_F(SendDialogTest, NodeKindThreeLeavesTheRichEditEmpty) {
  Host().nodeKind = 3;
  Host().commandCalls.clear();
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_RICH_EDIT)), L"");
  }));
  EXPECT_EQ(Host().commandCalls[kHostBeforeEditorRead], 0) << "the editor is not read";
}

// Bold only where the page says so: a page of colour, highlight and size as a rich edit
// writes it, with bold in one group.
TEST_F(SendDialogTest, APageShowsBoldOnlyWhereItSaysSo) {
  SetEditorRtf("{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;}\\cf1 red\\cf0  plain "
               "\\highlight1 marked\\highlight0\\fs17  small {\\b bold words} after\\par}");
  const struct {
    const wchar_t* words;
    bool bold;
  } words[] = {{L"red", false},   {L"plain", false},      {L"marked", false},
               {L"small", false}, {L"bold words", true}, {L"after", false}};
  auto boldIn = [](HWND richEdit, const wchar_t* text) {
    const std::wstring all = WindowText(richEdit);
    const LONG at = static_cast<LONG>(all.find(text));
    CHARRANGE range{at, at + static_cast<LONG>(wcslen(text))};
    SendMessageW(richEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMATW format{};
    format.cbSize = sizeof(format);
    SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    EXPECT_GE(at, 0) << text;
    EXPECT_TRUE(format.dwMask & CFM_BOLD) << text << ": mixed";
    return (format.dwEffects & CFE_BOLD) != 0;
  };
  for (const auto& w : words) EXPECT_EQ(boldIn(HostEditor(), w.words), w.bold) << "host: " << w.words;
  SelectInEditor(0, 0);  // the dialog takes the whole page
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
    for (const auto& w : words) EXPECT_EQ(boldIn(richEdit, w.words), w.bold) << "dialog: " << w.words;
  }));
}

TEST_F(SendDialogTest, HostColoursAndCharacterFormatAreApplied) {
  Host().nodeKind = 3;  // an empty rich edit keeps the format it was given
  Host().optionsAvailable = true;
  Host().backgroundColor = RGB(250, 240, 200);
  Host().textColor = RGB(20, 40, 160);
  CHARFORMATW& format = Host().charFormat;
  format.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR;
  format.yHeight = 280;
  format.crTextColor = RGB(20, 40, 160);
  lstrcpyW(format.szFaceName, L"Courier New");
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
    CHARFORMATW shown{};
    shown.cbSize = sizeof(shown);
    SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&shown));
    EXPECT_STREQ(shown.szFaceName, L"Courier New");
    EXPECT_EQ(shown.yHeight, 280);
    EXPECT_EQ(shown.crTextColor, RGB(20, 40, 160));
    // Setting a colour returns the one before: the host's.
    EXPECT_EQ(SendMessageW(richEdit, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3)), RGB(250, 240, 200));
    HWND list = GetDlgItem(dialog, IDC_LOG_LIST);
    EXPECT_EQ(SendMessageW(list, LVM_GETBKCOLOR, 0, 0), RGB(250, 240, 200));
    EXPECT_EQ(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0), RGB(250, 240, 200));
    EXPECT_EQ(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), RGB(20, 40, 160));
  }));
}

TEST_F(SendDialogTest, SystemColoursWhenTheHostGivesNoOptions) {
  for (bool callbackMissing : {false, true}) {
    Host().optionsAvailable = callbackMissing;  // refused, or not there at all
    SetCallbackMissing("YHC_GetOptions", callbackMissing);
    ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
      HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
      EXPECT_EQ(static_cast<COLORREF>(SendMessageW(richEdit, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3))),
                GetSysColor(COLOR_WINDOW));
      HWND list = GetDlgItem(dialog, IDC_LOG_LIST);
      EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)),
                GetSysColor(COLOR_WINDOW));
      // Wine's list view reports its default text colour as CLR_DEFAULT.
      auto text = static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0));
      EXPECT_TRUE(text == GetSysColor(COLOR_WINDOWTEXT) || text == CLR_DEFAULT) << std::hex << text;
    }));
  }
}

TEST_F(SendDialogTest, LinkFieldComesFromTheHostOnlyForASavedDocument) {
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LINK_FIELD)),
              L"yarrin://C:/Users/Test/Documents/notes.yar?node=23");
  }));
  EXPECT_EQ(Host().lastDocumentPathCapacity, 2000);

  Host().documentPath = u"notes.yar";
  Host().commandCalls.clear();
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LINK_FIELD)), L"");
  }));
  EXPECT_EQ(Host().commandCalls[kHostNodeLink], 0);
}

// The longest link the host may give (1,999 units) is shown and sent whole: the note's
// link paragraph holds it between the quotes of its href.
TEST_F(SendDialogTest, LongestHostLinkArrivesWholeInTheNote) {
  ScopedEnscript enscript(L"longlink");
  std::wstring link = L"yarrin://C:/Users/Test/Documents/notes.yar?node=23#";
  for (int i = 0; link.size() < 1999; ++i) link += static_cast<wchar_t>(L'a' + i % 26);
  Host().nodeLink = WideString(link.begin(), link.end());
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LINK_FIELD)), link);
    Press(dialog, IDOK);
  }));
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  std::wstring content(notes[0].content.begin(), notes[0].content.end());
  EXPECT_NE(content.find(L"=\"" + link + L"\""), std::wstring::npos) << "link cut: " << content.size();
}

TEST_F(SendDialogTest, SendRunsByTheNodeKindAskedAtSendAndEnablesTheButtonAgain) {
  ScopedEnscript enscript(L"kinds");
  struct Case {
    int kindAtSend;
    bool htmlCodeFails;
    const wchar_t* firstLine;  // the send's first log line; null: nothing is sent
  };
  const Case cases[] = {
      {0, false, L"Convert text to HTML"},         {2, false, L"Convert text to HTML"},
      {1, false, L"Send HTML code into Evernote"}, {3, false, L"Send HTML code into Evernote"},
      {1, true, nullptr},
  };
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    for (const Case& c : cases) {
      Host().nodeKind = c.kindAtSend;
      Host().htmlCodeFails = c.htmlCodeFails;
      size_t rowsBefore = LogRows(dialog).size();
      Press(dialog, IDOK);
      std::vector<std::wstring> rows = LogRows(dialog);
      if (c.firstLine) {
        ASSERT_GT(rows.size(), rowsBefore) << "kind " << c.kindAtSend;
        EXPECT_EQ(rows[rowsBefore], c.firstLine) << "kind " << c.kindAtSend;
      } else {
        EXPECT_EQ(rows.size(), rowsBefore) << "a failed HTML-code request sends nothing";
      }
      EXPECT_TRUE(IsSendButtonEnabled(dialog)) << "kind " << c.kindAtSend;
      EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open after a send";
    }
  }));
}

TEST_F(SendDialogTest, SendThatRaisesSaysSoEnablesTheButtonsAndKeepsTheDialog) {
  ScopedEnscript enscript(L"raises");
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    size_t rowsBefore = LogRows(dialog).size();
    // The HTML code is asked for before the send starts; the document path only once the
    // page is converted, after the send's first line.
    const struct {
      int kind;
      int command;
      size_t newRows;
    } cases[] = {{1, kHostNodeItem, 1}, {0, kHostDocumentPath, 2}};
    for (auto [kind, command, newRows] : cases) {
      Host().nodeKind = kind;
      Host().throwingCommand = command;
      Press(dialog, IDOK);
      EXPECT_TRUE(IsSendButtonEnabled(dialog));
      EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
      std::vector<std::wstring> rows = LogRows(dialog);
      ASSERT_EQ(rows.size(), rowsBefore + newRows) << "kind " << kind;
      if (newRows == 2) {
        EXPECT_EQ(rows[rowsBefore], L"Convert text to HTML");
      }
      EXPECT_EQ(rows.back(), L"ERROR: The page could not be sent because of an unexpected error");
      rowsBefore = rows.size();
    }
    Host().nodeKind = 1;
    Host().throwingCommand = 0;
    Press(dialog, IDOK);
    std::vector<std::wstring> rows = LogRows(dialog);
    ASSERT_GT(rows.size(), rowsBefore) << "the next send works";
    EXPECT_EQ(rows[rowsBefore], L"Send HTML code into Evernote");
  }));
}

TEST_F(SendDialogTest, FolderIsWarnedAboutAtOpeningAndAtSend) {
  Host().nodeKind = 7;
  std::wstring openingWarning;
  UINT_PTR timedBox = WhenWindowAppears(DialogWithCaption(L"Yarrin2Evernote"), [&](HWND box) {
    openingWarning = WindowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(openingWarning, kFolderWarning) << "the timed warning came before the dialog";
    size_t rowsBefore = LogRows(dialog).size();
    std::wstring sendWarning;
    bool enabledDuringBox = true;
    UINT_PTR box = WhenWindowAppears(DialogWithCaption(L"Yarrin2Evernote"), [&](HWND warning) {
      sendWarning = WindowText(GetDlgItem(warning, 0xFFFF));
      enabledDuringBox = IsSendButtonEnabled(dialog);
      PostMessageW(warning, WM_COMMAND, IDOK, 0);
    });
    Press(dialog, IDOK);
    PumpMessages(300);
    CancelWindowWatch(box);
    EXPECT_EQ(sendWarning, kFolderWarning);
    EXPECT_FALSE(enabledDuringBox);
    EXPECT_TRUE(IsSendButtonEnabled(dialog));
    EXPECT_EQ(LogRows(dialog).size(), rowsBefore) << "nothing was sent";
  }));
  CancelWindowWatch(timedBox);
}

TEST_F(SendDialogTest, CopyLogPutsTheOpeningLinesOnTheClipboard) {
  Host().tags = u"t1";
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    Press(dialog, IDC_COPY_LOG);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"(none)";
    if (data) GlobalUnlock(data);
    bool hasLocale = GetClipboardData(CF_LOCALE) != nullptr;
    CloseClipboard();
    EXPECT_EQ(text, L"Evernote Path: \nENScript Path: \n" + kCaption + L"\nTags: t1");
    EXPECT_TRUE(hasLocale);
  }));
}

TEST_F(SendDialogTest, LinksShowThePluginPageAndTechnicalSupport) {
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLUGIN_PAGE_LINK)),
              L"https://yarrin2evernote.org/en/plugin.html");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_SUPPORT_LINK)), L"Technical Support");
  }));
  Host().uiLanguage = 1049;
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLUGIN_PAGE_LINK)),
              L"https://yarrin2evernote.org/ru/plugin.html");
  }));
}

// The Send button's font once it shows its usual (bold) weight between blinks.
HFONT BoldSendButtonFont(HWND dialog) {
  for (int wait = 0; wait < 100; ++wait) {
    auto font = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDOK, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (font && GetObjectW(font, sizeof(logFont), &logFont) && logFont.lfWeight == FW_BOLD)
      return font;
    PumpMessages(30);
  }
  return nullptr;
}

TEST_F(SendDialogTest, SecondDialogReusesTheBoldSendButtonFont) {
  HFONT first = nullptr;
  HFONT second = nullptr;
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) { first = BoldSendButtonFont(dialog); }));
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) { second = BoldSendButtonFont(dialog); }));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(second, first);
}

std::set<DWORD> ThreadsOfThisProcess() {
  std::set<DWORD> threads;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return threads;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
  CloseHandle(snapshot);
  return threads;
}

// Runs in a program of its own (see CMakeLists.txt), beside the other tests.
class SendButtonBlinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHost();
    ASSERT_NE(Plugin().module, nullptr);
    RegisterPluginWithHost();
    SetEditorText(u"Some text");
  }
};

TEST_F(SendButtonBlinkTest, ClosingDuringTheBlinkTwentyTimesLeavesNoThreadBehind) {
  // Threads that Wine starts on first use (sound, input) are there before counting: one
  // dialog runs its whole blink first.
  ASSERT_TRUE(WithOpenDialog([](HWND) { PumpMessages(2300); }));
  PumpMessages(500);
  std::set<DWORD> before = ThreadsOfThisProcess();
  ASSERT_FALSE(before.empty());
  for (int round = 0; round < 20; ++round) {
    DWORD closeAfter = 20 + static_cast<DWORD>(round) * 97 % 1800;
    ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
      PumpMessages(closeAfter);
      EXPECT_TRUE(IsWindow(dialog));
    })) << "round " << round;
  }
  // Each blink ends at its next look at the button, at most 300 ms after its dialog.
  std::set<DWORD> after;
  for (int wait = 0; wait < 100; ++wait) {
    after = ThreadsOfThisProcess();
    if (after.size() <= before.size()) break;
    PumpMessages(30);
  }
  for (DWORD thread : after) EXPECT_TRUE(before.count(thread)) << "thread " << thread << " stayed";
}

// Leaves send-dialog.bmp in the test's folder; a cleanup step turns it into a PNG.
TEST_F(SendDialogTest, ScreenshotOfTheOpenDialog) {
  ScopedAppPath evernote(L"Evernote.exe", L"C:\\Program Files\\Evernote\\Evernote.exe");
  ScopedAppPath enscript(L"ENScript.exe", L"C:\\Program Files\\Evernote\\ENScript.exe");
  Host().tags = u"travel, plans";
  SetEditorRtf(
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
      "{\\colortbl;\\red192\\green0\\blue0;\\red0\\green96\\blue0;}\\pard\\plain\\fs20 "
      "{\\b\\fs28 Trip to the mountains}\\par\\pard\\plain\\fs20 "
      "Pack {\\b warm clothes}, {\\i a map} and {\\cf1 the tickets}.\\par"
      "{\\cf2 \\u1055?\\u1086?\\u1093?\\u1086?\\u1076? \\u1074? \\u1075?\\u1086?\\u1088?\\u1099?}"
      "\\par{\\f1 Train 7:45, platform 3}\\par See https://example.org/route for the map.\\par}");
  ASSERT_TRUE(WithOpenDialog([&](HWND dialog) {
    PumpMessages(2200);  // the blink is over and the button shows its usual font
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages(200);
    EXPECT_TRUE(SaveWindowBitmap(dialog, L"send-dialog.bmp"));
  }));
}

// The result of the modal loop, through the dialog code linked into this program (the
// host's command does not pass it on).
class SendDialogResultTest : public SendDialogTest {
 protected:
  INT_PTR RunAndEnd(const std::function<void(HWND)>& end) {
    UINT_PTR watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote, Released ["),
                                       [&](HWND dialog) { end(dialog); });
    INT_PTR result = OpenSendDialog(HostMainWindowHandle(), HostEditor(), u"Yarrin2Evernote", 0);
    CancelWindowWatch(watch);
    return result;
  }
};

TEST_F(SendDialogResultTest, CloseEscapeAndTheCloseBoxEndWithResultTwo) {
  ScopedEnscript enscript(L"result");  // Enter sends
  EXPECT_EQ(RunAndEnd([](HWND dialog) { SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0); }),
            2);
  EXPECT_EQ(RunAndEnd([](HWND dialog) {
              // Enter sends and leaves the dialog open; Esc then closes it.
              PostMessageW(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_RETURN, 0);
              PumpMessages(100);
              EXPECT_TRUE(IsWindowVisible(dialog));
              PostMessageW(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
            }),
            2);
  EXPECT_EQ(RunAndEnd([](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }), 2);
}

// An ENScript that does not end (started hidden, it may wait for input): a send that waits
// for it, with a notice every second, driven while the wait serves the dialog.
class StuckEnscriptTest : public SendDialogResultTest {
 protected:
  // Presses Send; once the first notice has made Close available, leave(dialog) runs.
  // The log is read as the dialog closes. The watches run after this function has
  // returned: they take the dialog as the window they found.
  INT_PTR SendAndThen(const std::function<void(HWND)>& leave) {
    return RunAndEnd([&](HWND dialog) {
      BeforeWindowCloses(dialog, [&](HWND closing) { finalLog = LogRows(closing); });
      WhenWindowAppears(
          [dialog](HWND window) { return window == dialog && !IsSendButtonEnabled(dialog); },
          [&](HWND waiting) {
            closeEnabledAtStart = IsWindowEnabled(GetDlgItem(waiting, IDCANCEL));
            HWND list = GetDlgItem(waiting, IDC_LOG_LIST);
            listWhenWaiting = StateOf(list);
            lineByLineWhenWaiting = LineByLineState(list);
          });
      WhenWindowAppears(
          [dialog](HWND window) {
            return window == dialog && !IsSendButtonEnabled(dialog) &&
                   IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
          },
          [&](HWND waiting) {
            logWhenOffered = LogRows(waiting);
            leave(waiting);
          },
          20000);
      // Lines enough for the scroll bar, so that a list still held would show an old place.
      for (int line = 0; line < 8; ++line) AddLogLine(dialog, u"earlier line");
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);  // the dialog's own loop starts the send
    });
  }

  // The one note file in the temporary folder, or empty.
  std::wstring NoteFile() const {
    std::vector<std::wstring> files = EnexFilesIn(temp.folder());
    return files.size() == 1 ? temp.folder() + files[0] : std::wstring();
  }

  ScopedTempFolder temp{L"stuck-temp"};
  ScopedUserSetting notices{L"WaitNoticeSeconds", 1};
  std::vector<std::wstring> finalLog, logWhenOffered;
  bool closeEnabledAtStart = true;
  ListState listWhenWaiting, lineByLineWhenWaiting;
};

TEST_F(StuckEnscriptTest, CloseEscapeOrTheCloseBoxStopsWaitingAndKeepsTheNoteFile) {
  const std::pair<const char*, std::function<void(HWND)>> ways[] = {
      {"Close", [](HWND dialog) { SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0); }},
      {"Escape",
       [](HWND dialog) { PostMessageW(GetDlgItem(dialog, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"close box", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& [way, leave] : ways) {
    ScopedEnscript enscript(L"stuck");
    enscript.SetFault("sleep 3000");
    EXPECT_EQ(SendAndThen(leave), 2) << way;
    EXPECT_FALSE(closeEnabledAtStart) << way << ": Close is offered only after a notice";
    // The send's lines are shown, not held, while it waits.
    ASSERT_FALSE(listWhenWaiting.rows.empty()) << way;
    EXPECT_EQ(listWhenWaiting.rows.back().rfind(L"ENScript started ", 0), 0u) << way;
    EXPECT_TRUE(listWhenWaiting.lastRowShows) << way;
    EXPECT_EQ(listWhenWaiting, lineByLineWhenWaiting) << way;
    ASSERT_FALSE(logWhenOffered.empty()) << way;
    EXPECT_EQ(logWhenOffered.back().rfind(L"Still waiting for ENScript to finish (1 s)", 0), 0u)
        << way;

    const std::wstring kept = NoteFile();
    ASSERT_FALSE(kept.empty()) << way << ": the note file is gone";
    ASSERT_FALSE(finalLog.empty()) << way;
    const std::wstring prefix = L"ERROR: Stopped waiting for ENScript after ";
    const std::wstring suffix =
        L" s; it may still import the note. The note file is kept: " + kept;
    const std::wstring& last = finalLog.back();
    ASSERT_EQ(last.rfind(prefix, 0), 0u) << way << ": " << std::string(last.begin(), last.end());
    EXPECT_EQ(last.substr(last.size() - suffix.size()), suffix) << way;
    EXPECT_EQ(last.substr(prefix.size(), last.size() - prefix.size() - suffix.size()), L"1") << way;

    // ENScript was not ended: it wakes up and imports the kept file.
    EXPECT_TRUE(WaitUntilTrue([&] { return enscript.Notes().size() == 1; }, 15000)) << way;
    DeleteFileW(kept.c_str());
  }
}

// A WM_QUIT during the wait: the dialog is served on (the notice still comes, Close still
// works), and the quit is posted again when the wait ends.
TEST_F(StuckEnscriptTest, QuitDuringTheWaitKeepsTheDialogServedAndComesBackAfterwards) {
  ScopedEnscript enscript(L"quit");
  enscript.SetFault("sleep 3000");
  bool quitPosted = false;
  WhenWindowAppears(
      [](HWND window) {
        return DialogCaptionStartingWith(L"Yarrin2Evernote, Released [")(window) &&
               !IsSendButtonEnabled(window);
      },
      [&](HWND) {
        PostQuitMessage(9);
        quitPosted = true;
      });
  EXPECT_EQ(SendAndThen([](HWND dialog) { SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0); }),
            2);
  ASSERT_TRUE(quitPosted);
  MSG quit{};
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was lost";
  EXPECT_EQ(quit.wParam, 9u);
  ASSERT_FALSE(logWhenOffered.empty());
  EXPECT_EQ(logWhenOffered.back().rfind(L"Still waiting for ENScript to finish (1 s)", 0), 0u);
  ASSERT_FALSE(finalLog.empty());
  EXPECT_EQ(finalLog.back().rfind(L"ERROR: Stopped waiting for ENScript after 1 s", 0), 0u);
  EXPECT_TRUE(WaitUntilTrue([&] { return enscript.Notes().size() == 1; }, 15000));
  DeleteFileW(NoteFile().c_str());
}

}  // namespace
