#include "evernote/start_evernote.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "evernote/install_lookup.h"
#include "text/ascii_case.h"
#include "evernote/paths.h"
#include "win/guards.h"

namespace {

// The 32-bit product hands the walk a 556-byte process entry; the 64-bit build's record
// is larger because of its pointer-sized field.
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32W) == 556,
              "process entry record of the 32-bit build");


// Executable names compare without regard to the case of ASCII letters only, whatever
// the user's locale.
bool SameNameIgnoringAsciiCase(const WideString& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == L'\0' || AsciiLower(a[i]) != AsciiLower(static_cast<char16_t>(b[i])))
      return false;
  }
  return b[i] == L'\0';
}

// Identifier of the first process in the snapshot whose executable is named exeName, or
// 0 (the idle process, never an executable) when none is.
DWORD FindProcessNamed(const WideString& exeName) {
  // A failed snapshot is INVALID_HANDLE_VALUE, the empty value of the file guard.
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (SameNameIgnoringAsciiCase(exeName, entry.szExeFile)) return entry.th32ProcessID;
  }
  return 0;
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK StopAtWindowOfProcess(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The first visible top-level window of the process: a client keeps hidden helper
// windows of its own, and bringing one of them forward shows nothing.
HWND FindTopLevelWindowOf(DWORD processId) {
  WindowSearch search{processId, nullptr};
  EnumWindows(StopAtWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

bool StartEvernote() {
  WideString path = FindEvernotePath();
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", WidePtr(path), nullptr, nullptr, SW_SHOW));
  if (result <= 32) return false;
  // A freshly started client may have no window yet; the start still counts.
  ActivateEvernote();
  return true;
}

bool ActivateEvernote() {
  WideString exeName = PathFileName(FindEvernotePath());
  if (exeName.empty()) return false;
  DWORD processId = FindProcessNamed(exeName);
  if (processId == 0) return false;
  HWND window = FindTopLevelWindowOf(processId);
  if (!window) return false;
  SetForegroundWindow(window);
  SetActiveWindow(window);
  SetFocus(window);
  return true;
}
