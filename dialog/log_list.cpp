#include "dialog/log_list.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "plugin/module_state.h"
#include "plugin/win_guards.h"
#include "resources/resource_ids.h"

namespace {

constexpr DWORD kLogListExtendedStyles = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
constexpr int kFirstRowBuffer = 2000;

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

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

  SendMessageW(list, LVM_ENSUREVISIBLE, row, TRUE);
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));

  RECT client{};
  GetClientRect(list, &client);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(LOWORD(client.right - client.left), 0));
}

int LogToList(const wchar_t* text, void* context) {
  AppendLogLine(static_cast<HWND>(context), text);
  return 0;
}

void AddLogLine(HWND dialog, const WideString& text) {
  AppendLogLine(GetDlgItem(dialog, IDC_LOG_LIST), WidePtr(text));
}

void AddLogString(HWND dialog, UINT stringId) {
  // A zero buffer size gives the resource's own text, however long it is.
  const wchar_t* resource = nullptr;
  int length = LoadStringW(Module().instanceHandle, stringId,
                           reinterpret_cast<wchar_t*>(&resource), 0);
  if (length > 0 && resource) AddLogLine(dialog, WideFromPtr(resource, static_cast<size_t>(length)));
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

bool CopyTextToClipboard(const WideString& text) {
  return SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

bool SetClipboardBytes(UINT format, const void* bytes, size_t count) {
  ClipboardGuard clipboard(nullptr);
  if (!clipboard) return false;
  EmptyClipboard();
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, count));
  if (!block) return false;
  {
    GlobalLockGuard locked(block.get());
    if (!locked) return false;
    std::memcpy(locked.data(), bytes, count);
  }
  bool placed = SetClipboardData(format, block.get()) != nullptr;
  // Once placed the block is the clipboard's; a refused one is freed by the guard.
  if (placed) block.release();
  AddClipboardLocale();
  return placed;
}

void AddClipboardLocale() {
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, sizeof(LCID)));
  if (!block) return;
  {
    GlobalLockGuard locked(block.get());
    if (!locked) return;
    LCID locale = GetThreadLocale();
    std::memcpy(locked.data(), &locale, sizeof(locale));
  }
  if (SetClipboardData(CF_LOCALE, block.get())) block.release();
}
