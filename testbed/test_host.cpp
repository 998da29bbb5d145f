#include "testbed/test_host.h"

#include <oleauto.h>
#include <commctrl.h>
#include <richedit.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

HostModel& Model() {
  static HostModel model;
  return model;
}

// Copies text into a host-side buffer of capacity units, NUL-terminated.
void CopyToBuffer(const WideString& text, wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return;
  size_t count = text.size() < capacity ? text.size() : capacity - 1;
  std::memcpy(buffer, text.data(), count * sizeof(wchar_t));
  buffer[count] = L'\0';
}

INT_PTR AnswerCommand(int code, INT_PTR value, void* pointer) {
  HostModel& host = Model();
  ++host.commandCalls[code];
  if (code == host.throwingCommand) throw std::runtime_error("host command failed");
  switch (code) {
    case kHostCurrentNode:
      return host.currentNode;
    case kHostNodeTitle:
      if (value != host.currentNode) return 0;
      CopyToBuffer(host.nodeTitle, static_cast<wchar_t*>(pointer), 2000);
      return 1;
    case kHostDocumentPath:
      host.lastDocumentPathCapacity = static_cast<int>(value);
      CopyToBuffer(host.documentPath, static_cast<wchar_t*>(pointer), static_cast<size_t>(value));
      return 1;
    case kHostNodeKind:
      return host.nodeKind;
    case kHostNodeLink: {
      auto* request = static_cast<NodeLinkRequest*>(pointer);
      if (!request || request->node != host.currentNode) return 0;
      CopyToBuffer(host.nodeLink, request->output, static_cast<size_t>(request->capacity) + 1);
      return 1;
    }
    case kHostNodeItem: {
      auto* request = static_cast<NodeItemRequest*>(pointer);
      if (!request || request->node != host.currentNode) return 0;
      if (request->item == kNodeItemHtmlCode) {
        if (host.htmlCodeFails) return 0;
        request->htmlCode = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(host.htmlCode.data()),
                                              static_cast<UINT>(host.htmlCode.size()));
        return 1;
      }
      if (request->item == kNodeItemTags) {
        if (host.tagsFail) return 0;
        request->tags = host.tags.empty() ? nullptr
                                          : SysAllocStringLen(
                                                reinterpret_cast<const OLECHAR*>(host.tags.data()),
                                                static_cast<UINT>(host.tags.size()));
        return 1;
      }
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace

extern "C" {

__declspec(dllexport) HWND YARRIN_API YHC_GetMainWnd() {
  return Model().mainWindowAvailable ? HostMainWindowHandle() : nullptr;
}

__declspec(dllexport) int YARRIN_API YHC_GetOptions(HostOptions* options) {
  HostModel& host = Model();
  if (!host.optionsAvailable || !options || options->size != sizeof(HostOptions)) return 0;
  options->textColor = host.textColor;
  options->backgroundColor = host.backgroundColor;
  options->charFormat = host.charFormat;
  return 1;
}

__declspec(dllexport) int YARRIN_API YHC_GetModuleVersionInfoEx(HINSTANCE, ModuleVersionInfo* info) {
  HostModel& host = Model();
  if (!host.versionAvailable || !info || info->size != sizeof(ModuleVersionInfo)) return 0;
  *info = host.version;
  return 1;
}

__declspec(dllexport) WORD YARRIN_API YHC_GetUILanguage() { return Model().uiLanguage; }

__declspec(dllexport) INT_PTR YARRIN_API YHC_Command(int code, INT_PTR value, void* pointer) {
  return AnswerCommand(code, value, pointer);
}

}  // extern "C"

HostModel& Host() { return Model(); }

void ResetHost() {
  HostModel fresh;
  fresh.charFormat.cbSize = sizeof(CHARFORMATW);
  Model() = fresh;
}

namespace {

// The export table of this program, writable so that a name can be hidden.
char* ExportedName(const char* name) {
  auto base = reinterpret_cast<char*>(GetModuleHandleW(nullptr));
  auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  auto& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (!entry.VirtualAddress) return nullptr;
  auto exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  auto names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  size_t length = std::strlen(name);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    char* exported = base + names[i];
    if (std::strncmp(exported, name, length - 1) == 0 && std::strlen(exported) == length)
      return exported;
  }
  return nullptr;
}

}  // namespace

void SetCallbackMissing(const char* name, bool missing) {
  char* exported = ExportedName(name);
  if (!exported) return;
  size_t last = std::strlen(exported) - 1;
  DWORD oldProtection = 0;
  VirtualProtect(exported, last + 1, PAGE_READWRITE, &oldProtection);
  // Only the last letter changes, so the names keep their sorted order for the loader's
  // binary search.
  exported[last] = missing ? '_' : name[last];
  VirtualProtect(exported, last + 1, oldProtection, &oldProtection);
}

namespace {

constexpr wchar_t kHostWindowClass[] = L"YarrinTestHostWindow";

struct HostWindows {
  HWND main = nullptr;
  HWND editor = nullptr;
};

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    HWND editor = GetWindow(window, GW_CHILD);
    if (editor) MoveWindow(editor, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HostWindows& Windows() {
  static HostWindows windows = [] {
    HostWindows made;
    // The host loads the rich edit library itself; the plug-in relies on it.
    LoadLibraryW(L"riched20.dll");
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostWindowClass;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass);
    made.main = CreateWindowExW(0, kHostWindowClass, L"Yarrin (test host)",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 640, 480, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    made.editor = CreateWindowExW(0, L"RICHEDIT20W", L"",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE |
                                      ES_AUTOVSCROLL | ES_WANTRETURN,
                                  0, 0, 620, 440, made.main, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    SendMessageW(made.editor, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    // A rich edit given no font takes its default format from the System font, which is
    // bold under Wine, and RTF that never says \b0 inherits it: a page without bold
    // would be captured bold throughout. A real host sets its editor's font; this one
    // keeps the rest of the default and only makes it regular.
    CHARFORMATW regular{};
    regular.cbSize = sizeof(regular);
    regular.dwMask = CFM_BOLD;
    SendMessageW(made.editor, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&regular));
    return made;
  }();
  return windows;
}

}  // namespace

HWND HostMainWindowHandle() { return Windows().main; }
HWND HostEditor() { return Windows().editor; }

void SetEditorText(const WideString& text) {
  SetWindowTextW(HostEditor(), WidePtr(text));
}

void SetEditorRtf(const std::string& rtf) {
  SETTEXTEX settings{ST_DEFAULT, CP_ACP};
  SendMessageW(HostEditor(), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&settings),
               reinterpret_cast<LPARAM>(rtf.c_str()));
}

void SelectInEditor(LONG first, LONG last) {
  CHARRANGE range{first, last};
  SendMessageW(HostEditor(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

WideString EditorText() {
  return WideFromPtr(WindowText(HostEditor()).c_str());
}

std::vector<std::wstring> ListRows(HWND list) {
  std::vector<std::wstring> rows;
  int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[4000] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 4000;
    SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    rows.push_back(text);
  }
  return rows;
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}


const PluginExports& Plugin() {
  static PluginExports exports = [] {
    PluginExports loaded;
    WideString path = WideFromPtr(ProgramFolder().c_str()) + u"Yarrin2Evernote.dll";
    loaded.module = LoadLibraryW(WidePtr(path));
    if (!loaded.module) return loaded;
    auto find = [&](const char* name) {
      return reinterpret_cast<void*>(GetProcAddress(loaded.module, name));
    };
    loaded.isSupportsPluginUnicode =
        reinterpret_cast<Yarrin_IsSupportsPluginUnicodeFn>(find("Yarrin_IsSupportsPluginUnicode"));
    loaded.getPluginInfo = reinterpret_cast<Yarrin_GetPluginInfoFn>(find("Yarrin_GetPluginInfo"));
    loaded.getMenuItemInfo =
        reinterpret_cast<Yarrin_GetMenuItemInfoFn>(find("Yarrin_GetMenuItemInfo"));
    loaded.eventHandler = reinterpret_cast<Yarrin_EventHandlerFn>(find("Yarrin_EventHandler"));
    loaded.commandProc = reinterpret_cast<CommandProcFn>(find("CommandProc"));
    return loaded;
  }();
  return exports;
}

void RegisterPluginWithHost() {
  const PluginExports& plugin = Plugin();
  if (!plugin.module) return;
  PluginInfo info{};
  info.size = sizeof(info);
  plugin.getPluginInfo(&info);
  EventInfo event{};
  event.eventCode = kEventEditorWindow;
  event.eventValue = HostEditor();
  plugin.eventHandler(&event);
}

int RunPluginCommand(int commandId) {
  CommandInfo command{};
  command.commandId = commandId;
  return Plugin().commandProc ? Plugin().commandProc(&command) : -1;
}

namespace {

struct WindowWatch {
  WindowMatch match;
  std::function<void(HWND)> action;
  DWORD deadline;
};

std::map<UINT_PTR, WindowWatch>& Watches() {
  static std::map<UINT_PTR, WindowWatch> watches;
  return watches;
}

struct WindowSearch {
  const WindowMatch* match;
  HWND found;
};

// A named CALLBACK: in the 32-bit build a lambda does not convert to the __stdcall
// WNDENUMPROC.
BOOL CALLBACK MatchThreadWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  if (IsWindowVisible(window) && (*search->match)(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindMatchingWindow(const WindowMatch& match) {
  WindowSearch search{&match, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CALLBACK CheckWatch(HWND, UINT, UINT_PTR timer, DWORD) {
  auto it = Watches().find(timer);
  if (it == Watches().end()) {
    KillTimer(nullptr, timer);
    return;
  }
  HWND window = FindMatchingWindow(it->second.match);
  bool expired = static_cast<LONG>(GetTickCount() - it->second.deadline) > 0;
  if (!window && !expired) return;
  // The action may open further modal loops: the watch is gone before it runs.
  WindowWatch watch = std::move(it->second);
  Watches().erase(it);
  KillTimer(nullptr, timer);
  if (window) watch.action(window);
}

bool IsDialogClass(HWND window) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return lstrcmpW(className, L"#32770") == 0;
}

struct CloseWatch {
  HWND window = nullptr;
  std::function<void(HWND)> action;
  HHOOK hook = nullptr;
};

CloseWatch& PendingCloseWatch() {
  static CloseWatch watch;
  return watch;
}

LRESULT CALLBACK WatchForClose(int code, WPARAM wParam, LPARAM lParam) {
  CloseWatch& watch = PendingCloseWatch();
  HHOOK hook = watch.hook;
  auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_DESTROY && sent->hwnd == watch.window) {
    std::function<void(HWND)> action = std::move(watch.action);
    UnhookWindowsHookEx(hook);
    watch = CloseWatch{};
    action(sent->hwnd);
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

void BeforeWindowCloses(HWND window, std::function<void(HWND)> action) {
  CloseWatch& watch = PendingCloseWatch();
  if (watch.hook) UnhookWindowsHookEx(watch.hook);
  watch = CloseWatch{window, std::move(action), nullptr};
  watch.hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchForClose, nullptr, GetCurrentThreadId());
}

UINT_PTR WhenWindowAppears(WindowMatch match, std::function<void(HWND)> action, DWORD timeoutMs) {
  UINT_PTR timer = SetTimer(nullptr, 0, 30, CheckWatch);
  Watches()[timer] = WindowWatch{std::move(match), std::move(action), GetTickCount() + timeoutMs};
  return timer;
}

void CancelWindowWatch(UINT_PTR watch) {
  Watches().erase(watch);
  KillTimer(nullptr, watch);
}

WindowMatch DialogWithCaption(const std::wstring& caption) {
  return [caption](HWND window) { return IsDialogClass(window) && WindowText(window) == caption; };
}

WindowMatch DialogCaptionStartingWith(const std::wstring& prefix) {
  return [prefix](HWND window) {
    return IsDialogClass(window) && WindowText(window).rfind(prefix, 0) == 0;
  };
}

void PumpMessages(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(GetTickCount() - end) < 0) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}
