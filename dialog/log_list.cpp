#include "dialog/log_list.h"

#include <windows.h>
#include <commctrl.h>

#include "win/module_state.h"
#include "win/clipboard.h"
#include "resources/resource_ids.h"

namespace {

constexpr DWORD kLogListExtendedStyles = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
constexpr int kFirstRowBuffer = 2000;

// Set on a list while a batch is open: the row count when it opened, plus one.
constexpr wchar_t kBatchProperty[] = L"Yarrin2Evernote.LogBatch";

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

bool InBatch(HWND list) { return GetPropW(list, kBatchProperty) != nullptr; }

void ScrollToRowAndStretch(HWND list, int row) {
  SendMessageW(list, LVM_ENSUREVISIBLE, row, TRUE);
  RECT client{};
  GetClientRect(list, &client);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(LOWORD(client.right - client.left), 0));
}

// The row's whole text: the buffer grows until the list copies less than fills it.
WideString RowText(HWND list, int row) {
  WideString text(kFirstRowBuffer, u'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = WidePtr(text);
    item.cchTextMax = static_cast<int>(text.size());
    auto copied = static_cast<size_t>(
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < text.size()) {
      text.resize(copied);
      return text;
    }
    text.assign(text.size() * 2, u'\0');
  }
}

}  // namespace

void PrepareLogList(HWND list) {
  LVCOLUMNW column{};
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  auto styles = static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles | kLogListExtendedStyles);
}

void AppendLogLine(HWND list, const wchar_t* text) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = RowCount(list);
  item.iSubItem = 0;
  item.pszText = const_cast<wchar_t*>(text);
  item.cchTextMax = text ? lstrlenW(text) : 0;
  auto row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));

  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  if (!InBatch(list)) ScrollToRowAndStretch(list, row);
}

LogBatch::LogBatch(HWND list) : list_(list), opened_(list && !InBatch(list)) {
  if (!opened_) return;
  SetPropW(list, kBatchProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(RowCount(list)) + 1));
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
}

LogBatch::~LogBatch() {
  if (opened_) ShowLogLines(list_);
}

void ShowLogLines(HWND list) {
  const auto openedWith = reinterpret_cast<INT_PTR>(RemovePropW(list, kBatchProperty));
  if (!openedWith) return;
  // Redraw first: the list sets up its scroll bar only then, and the column's width is
  // the client width beside that bar.
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  const int rows = RowCount(list);
  if (rows > openedWith - 1) ScrollToRowAndStretch(list, rows - 1);
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int LogToList(const wchar_t* text, void* context) {
  AppendLogLine(static_cast<HWND>(context), text);
  return 0;
}

void ShowLogList(void* context) { ShowLogLines(static_cast<HWND>(context)); }

void AddLogLine(HWND dialog, const WideString& text) {
  AppendLogLine(GetDlgItem(dialog, IDC_LOG_LIST), WidePtr(text));
}

void AddLogString(HWND dialog, UINT stringId) {
  WideString text = ModuleString(stringId);
  if (!text.empty()) AddLogLine(dialog, text);
}

WideString LogText(HWND list) {
  WideString text;
  int count = RowCount(list);
  for (int row = 0; row < count; ++row) {
    WideString line = RowText(list, row);
    if (!text.empty()) text += u'\n';
    text += line;
  }
  return text;
}

void CopyLogToClipboard(HWND dialog) {
  CopyTextToClipboard(LogText(GetDlgItem(dialog, IDC_LOG_LIST)));
}
