#include "evernote/install_lookup.h"

#include <windows.h>

#include "win/guards.h"

const wchar_t kEvernoteAppPathKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Evernote.exe";
const wchar_t kEnscriptAppPathKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ENScript.exe";

namespace {
constexpr DWORD kPathUnits = 1300;
constexpr size_t kLongestPath = kPathUnits - 1;
}  // namespace

WideString ReadAppPath(const wchar_t* subKey) {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
    return {};
  wchar_t buffer[kPathUnits] = {};
  DWORD bytes = sizeof(buffer);
  // The value's type plays no part: an expandable string comes back unexpanded.
  if (RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                       &bytes) != ERROR_SUCCESS)
    return {};
  // A value stored without its terminating NUL keeps its last character: the length is
  // what was stored, up to the first NUL.
  size_t stored = bytes / sizeof(wchar_t);
  size_t length = 0;
  while (length < stored && buffer[length] != L'\0') ++length;
  if (length > kLongestPath) return {};
  return WideFromPtr(buffer, length);
}

WideString FindEvernotePath() { return ReadAppPath(kEvernoteAppPathKey); }
WideString FindEnscriptPath() { return ReadAppPath(kEnscriptAppPathKey); }

std::vector<WideString> InstallInfoLines() {
  return {u"Evernote Path: " + FindEvernotePath(), u"ENScript Path: " + FindEnscriptPath()};
}
