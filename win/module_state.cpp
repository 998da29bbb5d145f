#include "win/module_state.h"

#include <memory>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
std::unique_ptr<ModuleState> state;
constexpr DWORD kLongestModulePath = 32768;
}  // namespace

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void CreateModuleState(HINSTANCE instance) {
  state = std::make_unique<ModuleState>();
  state->instanceHandle = instance;
}

void ReleaseModuleState() { state.reset(); }

ModuleState& Module() {
  if (!state) CreateModuleState(ThisModule());
  return *state;
}

WideString ModuleString(UINT id) {
  // With a buffer size of 0 the call hands out the resource's own read-only text.
  const wchar_t* text = nullptr;
  int length = LoadStringW(Module().instanceHandle, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? WideFromPtr(text, static_cast<size_t>(length)) : WideString();
}

WideString ModuleFolder() {
  WideString path(MAX_PATH, u'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(ThisModule(), WidePtr(path), static_cast<DWORD>(path.size()));
    if (length == 0) return WideString();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= kLongestModulePath) return WideString();
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(u"\\/");
  return slash == WideString::npos ? WideString() : path.substr(0, slash + 1);
}

HMODULE LoadSystemLibrary(const char16_t* name) {
  const auto* wide = reinterpret_cast<const wchar_t*>(name);
  if (HMODULE module = LoadLibraryExW(wide, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // Windows 7 without KB2533623 refuses the search flags: the full path searches nowhere
  // else either.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  WideString path = WideFromPtr(folder, length) + u"\\" + name;
  return LoadLibraryExW(WidePtr(path), nullptr, 0);
}
