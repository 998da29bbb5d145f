// Evernote.exe of the testbed: a stand-in for Evernote's desktop client. Its one
// top-level window lists the notes that the ENScript stand-in has imported into the
// notebook store beside it (title, tags, times, number of resources), so that "Start
// Evernote" shows what arrived. The list follows the store while the window is open.
//
// Like the real client it runs once: a second start ends at once without a window. Also
// like it, it keeps a hidden top-level helper window (class EvernoteStandInHelper),
// made after the main window and so ahead of it in the system's window order.
// Bringing the running client to the front is left to whoever started it, so that the
// plug-in's own activation is what tests see.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "testbed/notebook_store.h"

namespace {

constexpr wchar_t kWindowClass[] = L"EvernoteStandInWindow";
constexpr wchar_t kHelperClass[] = L"EvernoteStandInHelper";
constexpr wchar_t kSingleInstanceMutex[] = L"Yarrin2Evernote.EvernoteStandIn";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;
constexpr int kListId = 100;

struct ClientWindow {
  HWND list = nullptr;
  WideString folder;
  size_t shownCount = static_cast<size_t>(-1);
};

// 20160207T181556Z as 2016-02-07 18:15:56 UTC; other texts are shown as stored.
WideString ReadableTime(const WideString& stamp) {
  if (stamp.size() != 16 || stamp[8] != u'T' || stamp[15] != u'Z') return stamp;
  return stamp.substr(0, 4) + u"-" + stamp.substr(4, 2) + u"-" + stamp.substr(6, 2) + u" " +
         stamp.substr(9, 2) + u":" + stamp.substr(11, 2) + u":" + stamp.substr(13, 2) + u" UTC";
}

WideString JoinedTags(const std::vector<WideString>& tags) {
  WideString joined;
  for (const WideString& tag : tags) joined += (joined.empty() ? u"" : u", ") + tag;
  return joined;
}

void AddColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = width;
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetCell(HWND list, int row, int column, WideString text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = WidePtr(text);
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void ShowNotes(HWND window, ClientWindow& client) {
  std::vector<StoredNote> notes = ReadNotebook(client.folder);
  if (notes.size() == client.shownCount) return;
  client.shownCount = notes.size();
  SendMessageW(client.list, LVM_DELETEALLITEMS, 0, 0);
  for (size_t i = 0; i < notes.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = WidePtr(notes[i].title);
    int row = static_cast<int>(SendMessageW(client.list, LVM_INSERTITEMW, 0,
                                            reinterpret_cast<LPARAM>(&item)));
    SetCell(client.list, row, 1, JoinedTags(notes[i].tags));
    SetCell(client.list, row, 2, ReadableTime(notes[i].created));
    SetCell(client.list, row, 3, ReadableTime(notes[i].updated));
    SetCell(client.list, row, 4, WideNumber(static_cast<long long>(notes[i].resources.size())));
  }
  WideString caption = u"Evernote (stand-in) - " +
                       WideNumber(static_cast<long long>(notes.size())) +
                       (notes.size() == 1 ? u" note" : u" notes");
  SetWindowTextW(window, WidePtr(caption));
}

bool OnCreate(HWND window, ClientWindow& client) {
  client.list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0,
                                0, window, reinterpret_cast<HMENU>(kListId),
                                GetModuleHandleW(nullptr), nullptr);
  if (!client.list) return false;
  SendMessageW(client.list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
               LVS_EX_FULLROWSELECT);
  AddColumn(client.list, 0, L"Title", 260);
  AddColumn(client.list, 1, L"Tags", 160);
  AddColumn(client.list, 2, L"Created", 150);
  AddColumn(client.list, 3, L"Updated", 150);
  AddColumn(client.list, 4, L"Resources", 80);
  ShowNotes(window, client);
  SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
  return true;
}

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* client = reinterpret_cast<ClientWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_CREATE:
      return client && OnCreate(window, *client) ? 0 : -1;
    case WM_SIZE:
      if (client) MoveWindow(client->list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_TIMER:
      if (client && wParam == kRefreshTimer) ShowNotes(window, *client);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kRefreshTimer);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  HANDLE running = CreateMutexW(nullptr, FALSE, kSingleInstanceMutex);
  if (running && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(running);
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ClientWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  if (!RegisterClassW(&windowClass)) return 1;

  ClientWindow client;
  client.folder = NotebookFolder();
  HWND window = CreateWindowExW(0, kWindowClass, L"Evernote (stand-in)", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 760, 420, nullptr, nullptr,
                                instance, &client);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  WNDCLASSW helperClass{};
  helperClass.lpfnWndProc = DefWindowProcW;
  helperClass.hInstance = instance;
  helperClass.lpszClassName = kHelperClass;
  RegisterClassW(&helperClass);
  CreateWindowExW(0, kHelperClass, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, instance,
                  nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (running) CloseHandle(running);
  return 0;
}
