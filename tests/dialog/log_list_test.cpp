// The log list on a real list view, and the clipboard text that "Copy Log" leaves.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>
#include <vector>

#include "dialog/log_list.h"
#include "tests/dialog/list_state.h"
#include "win/clipboard.h"
#include "resources/resource_ids.h"

namespace {

// A window holding the log list as control 1003, laid out as in the send dialog.
class LogWindow {
 public:
  explicit LogWindow(int left = 0) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    dialog_ = CreateWindowExW(0, L"STATIC", L"log", WS_POPUP, left, 0, 600, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"List1",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL |
                                LVS_SHOWSELALWAYS | LVS_NOLABELWRAP | LVS_NOCOLUMNHEADER,
                            10, 10, 500, 80, dialog_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LOG_LIST)),
                            GetModuleHandleW(nullptr), nullptr);
    PrepareLogList(list_);
  }
  LogWindow(const LogWindow&) = delete;
  LogWindow& operator=(const LogWindow&) = delete;
  ~LogWindow() { DestroyWindow(dialog_); }

  HWND dialog() const { return dialog_; }
  HWND list() const { return list_; }
  void Add(const std::wstring& text) { AddLogLine(dialog_, WideFromPtr(text.c_str())); }
  int Rows() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

 private:
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
};

struct ClipboardContent {
  bool hasText = false;
  std::wstring text;      // up to the first zero
  size_t units = 0;       // code units in the block, zeros included
  bool hasLocale = false;
  LCID locale = 0;
};

ClipboardContent ReadClipboard() {
  ClipboardContent content;
  if (!OpenClipboard(nullptr)) return content;
  if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
    content.hasText = true;
    content.units = GlobalSize(text) / sizeof(wchar_t);
    if (auto* data = static_cast<const wchar_t*>(GlobalLock(text))) {
      content.text = std::wstring(data, wcsnlen(data, content.units));
      GlobalUnlock(text);
    }
  }
  if (HANDLE locale = GetClipboardData(CF_LOCALE)) {
    if (auto* data = static_cast<const LCID*>(GlobalLock(locale))) {
      content.hasLocale = true;
      content.locale = *data;
      GlobalUnlock(locale);
    }
  }
  CloseClipboard();
  return content;
}

void PutOnClipboard(const std::wstring& text) {
  ASSERT_TRUE(CopyTextToClipboard(WideFromPtr(text.c_str())));
}

TEST(LogListTest, RowsAreJoinedByLineFeedsWithoutATrailingOne) {
  LogWindow log;
  for (const wchar_t* line : {L"a", L"b", L"c"}) log.Add(line);
  CopyLogToClipboard(log.dialog());
  ClipboardContent content = ReadClipboard();
  ASSERT_TRUE(content.hasText);
  EXPECT_EQ(content.text, L"a\nb\nc");
  EXPECT_GE(content.units, 6u) << "five code units and the terminator";
}

TEST(LogListTest, EmptyLeadingRowsVanishButLaterEmptyRowsStay) {
  LogWindow log;
  for (const wchar_t* line : {L"", L"", L"first", L"", L"last", L""}) log.Add(line);
  EXPECT_EQ(log.Rows(), 6);
  EXPECT_EQ(LogText(log.list()), u"first\n\nlast\n");
}

TEST(LogListTest, EmptyListReplacesTheClipboardWithAnEmptyText) {
  PutOnClipboard(L"previous contents");
  LogWindow log;
  CopyLogToClipboard(log.dialog());
  ClipboardContent content = ReadClipboard();
  ASSERT_TRUE(content.hasText);
  EXPECT_EQ(content.text, L"");
}

TEST(LogListTest, LongRowsAreCopiedWhole) {
  LogWindow log;
  std::wstring longRow(5000, L'x');
  longRow += L"end";
  std::wstring exactRow(1999, L'y');  // fills the first read buffer exactly
  log.Add(L"short");
  log.Add(longRow);
  log.Add(exactRow);
  CopyLogToClipboard(log.dialog());
  EXPECT_EQ(ReadClipboard().text, L"short\n" + longRow + L"\n" + exactRow);
}

TEST(LogListTest, TextGoesWithTheThreadsLocale) {
  LCID original = GetThreadLocale();
  const LCID russian = MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT);
  SetThreadLocale(russian);
  bool copied = CopyTextToClipboard(u"\u0416\u0443\u0440\u043d\u0430\u043b");
  SetThreadLocale(original);
  ASSERT_TRUE(copied);
  ClipboardContent content = ReadClipboard();
  EXPECT_EQ(content.text, L"\u0416\u0443\u0440\u043d\u0430\u043b");
  ASSERT_TRUE(content.hasLocale);
  EXPECT_EQ(content.locale, russian);
}

TEST(LogListTest, BusyClipboardIsLeftAlone) {
  PutOnClipboard(L"kept");
  HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool open = false;
  // A window of another thread holds the clipboard open (Wine lets a second opener without
  // a window in while the first has none either).
  std::thread holder([&] {
    HWND owner = CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    open = OpenClipboard(owner) != FALSE;
    SetEvent(opened);
    WaitForSingleObject(release, 10000);
    if (open) CloseClipboard();
    DestroyWindow(owner);
  });
  WaitForSingleObject(opened, 10000);
  ASSERT_TRUE(open) << GetLastError();
  EXPECT_FALSE(CopyTextToClipboard(u"lost"));
  EXPECT_FALSE(SetClipboardBytes(CF_TEXT, "lost", 5));
  SetEvent(release);
  holder.join();
  CloseHandle(opened);
  CloseHandle(release);
  // Under load, Wine's X11 driver may still be taking the clipboard back from the other
  // thread's window for a moment: the text must come back, not be gone.
  std::wstring text = ReadClipboard().text;
  for (int tries = 0; text != L"kept" && tries < 40; ++tries) {
    Sleep(50);
    text = ReadClipboard().text;
  }
  EXPECT_EQ(text, L"kept");
}

TEST(LogListTest, NewestRowIsSelectedFocusedAndVisible) {
  LogWindow log;
  for (int i = 0; i < 40; ++i) {
    log.Add(L"line " + std::to_wstring(i));
    int newest = log.Rows() - 1;
    ASSERT_EQ(newest, i);
    auto state = static_cast<UINT>(SendMessageW(log.list(), LVM_GETITEMSTATE, newest,
                                                LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(state, UINT{LVIS_SELECTED | LVIS_FOCUSED}) << "row " << i;
    if (i > 0) {
      auto before = static_cast<UINT>(
          SendMessageW(log.list(), LVM_GETITEMSTATE, newest - 1, LVIS_SELECTED));
      EXPECT_EQ(before, 0u) << "row " << i - 1 << " keeps no selection";
    }
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(log.list(), LVM_GETITEMRECT, newest, reinterpret_cast<LPARAM>(&row));
    RECT client{};
    GetClientRect(log.list(), &client);
    EXPECT_LT(row.top, client.bottom) << "row " << i << " scrolled into view";
    EXPECT_GT(row.bottom, client.top) << "row " << i;
  }
}

TEST(LogListTest, ColumnSpansTheClientWidthAfterEveryAppend) {
  LogWindow log;
  for (int width : {500, 320, 450}) {
    SetWindowPos(log.list(), nullptr, 0, 0, width, 80, SWP_NOMOVE | SWP_NOZORDER);
    log.Add(L"row at width " + std::to_wstring(width));
    RECT client{};
    GetClientRect(log.list(), &client);
    EXPECT_EQ(SendMessageW(log.list(), LVM_GETCOLUMNWIDTH, 0, 0), client.right - client.left)
        << "list width " << width;
  }
}

TEST(LogListTest, ListHasOneColumnWithFullRowSelectionAndInfoTips) {
  LogWindow log;
  auto styles = static_cast<DWORD>(SendMessageW(log.list(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_EQ(styles & (LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP),
            DWORD{LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP});
  LVCOLUMNW second{};
  second.mask = LVCF_WIDTH;
  EXPECT_TRUE(SendMessageW(log.list(), LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&second)));
  EXPECT_FALSE(SendMessageW(log.list(), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&second)));
}

TEST(LogListTest, LogCallbackAndStringTableLinesAppend) {
  LogWindow log;
  LogToList(L"from the import", log.list());
  AddLogString(log.dialog(), IDS_CONVERT_TEXT);
  AddLogString(log.dialog(), IDS_SEND_HTML_CODE);
  AddLogString(log.dialog(), 99);  // no such string: no row
  EXPECT_EQ(LogText(log.list()),
            u"from the import\nConvert text to HTML\nSend HTML code into Evernote");
}

// The list's client area as drawn, pixel by pixel.
std::vector<COLORREF> Pixels(HWND list) {
  RECT client{};
  GetClientRect(list, &client);
  std::vector<COLORREF> pixels;
  HDC dc = GetDC(list);
  for (int y = 0; y < client.bottom; y += 2)
    for (int x = 0; x < client.right; x += 3) pixels.push_back(GetPixel(dc, x, y));
  ReleaseDC(list, dc);
  return pixels;
}

std::wstring Line(int i) { return L"line " + std::to_wstring(i) + L" of the log"; }

// Counts the scrolling and column-width requests a list receives while it lives.
class RequestCounter {
 public:
  explicit RequestCounter(HWND list) : list_(list) {
    SetWindowSubclass(list_, Count, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  RequestCounter(const RequestCounter&) = delete;
  RequestCounter& operator=(const RequestCounter&) = delete;
  ~RequestCounter() { RemoveWindowSubclass(list_, Count, 1); }

  int scrolls = 0;
  int widths = 0;

 private:
  static LRESULT CALLBACK Count(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR self) {
    auto* counter = reinterpret_cast<RequestCounter*>(self);
    counter->scrolls += message == LVM_ENSUREVISIBLE;
    counter->widths += message == LVM_SETCOLUMNWIDTH;
    return DefSubclassProc(list, message, wParam, lParam);
  }
  HWND list_;
};

// A batch leaves the list as adding its lines one by one does: rows, selection, focus,
// top row, the last row in view and the column's width. The reference list is filled
// line by line in a window of the same size beside it.
TEST(LogBatchTest, BatchEndsAsLineByLineAddingEnds) {
  const struct Case {
    const char* name;
    int before;   // lines added one by one first
    int batched;  // lines added in the batch
    int width;    // the list's width from the batch on
    bool topFirst;  // the reader scrolled back to the first row before the batch
  } cases[] = {
      {"few lines, no scroll bar", 0, 3, 500, false},
      {"scroll bar appears within the batch", 2, 12, 500, false},
      {"scroll bar there already", 9, 6, 500, false},
      {"list narrowed before the batch", 9, 6, 320, false},
      {"empty batch keeps the reader's place", 12, 0, 500, true},
      {"batch after the reader scrolled back", 12, 3, 500, true},
  };
  for (const Case& c : cases) {
    LogWindow batched, reference(620);
    for (LogWindow* log : {&batched, &reference}) {
      for (int i = 0; i < c.before; ++i) log->Add(Line(i));
      SetWindowPos(log->list(), nullptr, 0, 0, c.width, 80, SWP_NOMOVE | SWP_NOZORDER);
      if (c.topFirst) SendMessageW(log->list(), LVM_ENSUREVISIBLE, 0, FALSE);
    }
    {
      RequestCounter requests(batched.list());
      {
        LogBatch batch(batched.list());
        for (int i = c.before; i < c.before + c.batched; ++i) batched.Add(Line(i));
        EXPECT_EQ(requests.scrolls + requests.widths, 0) << c.name << ": before the batch ended";
      }
      // The point of a batch: the list scrolls and stretches once, whatever the lines.
      EXPECT_EQ(requests.scrolls, c.batched ? 1 : 0) << c.name;
      EXPECT_EQ(requests.widths, c.batched ? 1 : 0) << c.name;
    }
    for (int i = c.before; i < c.before + c.batched; ++i) reference.Add(Line(i));
    EXPECT_EQ(StateOf(batched.list()), StateOf(reference.list())) << c.name;
    EXPECT_EQ(batched.Rows(), c.before + c.batched) << c.name;
  }
}

// A batch opened within another adds nothing; ShowLogLines ends the open one at once, and
// the lines after it are shown one by one; the list is painted as the reference is.
TEST(LogBatchTest, NestedBatchAndShowingEarly) {
  LogWindow batched, reference(620);
  for (LogWindow* log : {&batched, &reference}) ShowWindow(log->dialog(), SW_SHOWNOACTIVATE);
  int next = 0;
  RequestCounter requests(batched.list());
  {
    LogBatch outer(batched.list());
    {
      LogBatch inner(batched.list());
      for (; next < 8; ++next) batched.Add(Line(next));
    }
    EXPECT_EQ(requests.scrolls, 0) << "the inner batch ended the outer one";
    for (; next < 10; ++next) batched.Add(Line(next));
    ShowLogLines(batched.list());
    for (int i = 0; i < next; ++i) reference.Add(Line(i));
    EXPECT_EQ(StateOf(batched.list()), StateOf(reference.list()));
    EXPECT_EQ(Pixels(batched.list()), Pixels(reference.list())) << "not on screen when shown";
    batched.Add(Line(next));
    reference.Add(Line(next));
    EXPECT_EQ(StateOf(batched.list()), StateOf(reference.list())) << "a line after showing";
  }
  UpdateWindow(reference.list());
  EXPECT_EQ(StateOf(batched.list()), StateOf(reference.list()));
  EXPECT_EQ(Pixels(batched.list()), Pixels(reference.list()));
}

}  // namespace
