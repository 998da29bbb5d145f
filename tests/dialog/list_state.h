// What a reader sees of a log list, and the same for its rows added line by line to a
// list made as it is: what a batch of lines must end as.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <ostream>
#include <string>
#include <vector>

#include "dialog/log_list.h"

// Its rows, the selected and the focused row, the top row, whether the last row shows
// whole, the column's width.
struct ListState {
  std::vector<std::wstring> rows;
  int selected = -1;
  int focused = -1;
  int top = -1;
  bool lastRowShows = false;
  int columnWidth = -1;
};

inline bool operator==(const ListState& a, const ListState& b) {
  return a.rows == b.rows && a.selected == b.selected && a.focused == b.focused &&
         a.top == b.top && a.lastRowShows == b.lastRowShows && a.columnWidth == b.columnWidth;
}

inline std::ostream& operator<<(std::ostream& out, const ListState& state) {
  return out << "{rows " << state.rows.size() << ", selected " << state.selected << ", focused "
             << state.focused << ", top " << state.top << ", last row shows " << state.lastRowShows << ", column "
             << state.columnWidth << "}";
}

inline std::vector<std::wstring> RowsOf(HWND list) {
  std::vector<std::wstring> rows;
  const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    wchar_t text[4000] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 4000;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    rows.push_back(text);
  }
  return rows;
}

inline ListState StateOf(HWND list) {
  ListState state;
  state.rows = RowsOf(list);
  state.selected = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
  state.focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
  state.top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
  const auto rows = static_cast<int>(state.rows.size());
  RECT row{LVIR_BOUNDS, 0, 0, 0};
  RECT client{};
  GetClientRect(list, &client);
  state.lastRowShows = rows > 0 &&
                       SendMessageW(list, LVM_GETITEMRECT, rows - 1, reinterpret_cast<LPARAM>(&row)) &&
                       row.top >= client.top && row.bottom <= client.bottom;
  state.columnWidth = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
  return state;
}

// The state of a new list of list's class, styles, size and font, prepared as the log
// list is and given list's rows one by one.
inline ListState LineByLineState(HWND list) {
  RECT bounds{};
  GetWindowRect(list, &bounds);
  HWND parent = CreateWindowExW(0, L"STATIC", L"reference", WS_POPUP, 0, 0,
                                bounds.right - bounds.left + 40, bounds.bottom - bounds.top + 40,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND reference = CreateWindowExW(
      static_cast<DWORD>(GetWindowLongW(list, GWL_EXSTYLE)), WC_LISTVIEWW, L"",
      static_cast<DWORD>(GetWindowLongW(list, GWL_STYLE)), 0, 0, bounds.right - bounds.left,
      bounds.bottom - bounds.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(reference, WM_SETFONT, SendMessageW(list, WM_GETFONT, 0, 0), FALSE);
  PrepareLogList(reference);
  for (const std::wstring& row : RowsOf(list)) AppendLogLine(reference, row.c_str());
  ListState state = StateOf(reference);
  DestroyWindow(parent);
  return state;
}
