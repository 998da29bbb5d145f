#include "tests/registry_fixture.h"

std::wstring ScopedAppPath::KeyOf(const std::wstring& exeName) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + exeName;
}

ScopedAppPath::ScopedAppPath(const std::wstring& exeName, const std::wstring& path)
    : key_(KeyOf(exeName)) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str());
  if (path.empty()) return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}

ScopedAppPath::~ScopedAppPath() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str()); }

void RemoveEvernoteAppPaths() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, ScopedAppPath::KeyOf(L"Evernote.exe").c_str());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, ScopedAppPath::KeyOf(L"ENScript.exe").c_str());
}

namespace {
constexpr wchar_t kPluginSettings[] = L"Software\\Yarrin2Evernote";
}

ScopedUserSetting::ScopedUserSetting(const std::wstring& name, DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kPluginSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    RegCloseKey(key);
  }
}

ScopedUserSetting::~ScopedUserSetting() { RegDeleteTreeW(HKEY_CURRENT_USER, kPluginSettings); }

namespace {
constexpr wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kDocumentsValue[] = L"Personal";

void SetDocumentsValue(const std::wstring& value, DWORD type) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, kDocumentsValue, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}
}  // namespace

ScopedDocumentsFolder::ScopedDocumentsFolder(const std::wstring& folder) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  hadOld_ = RegGetValueW(HKEY_CURRENT_USER, kUserShellFolders, kDocumentsValue,
                         RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &oldType_, value,
                         &size) == ERROR_SUCCESS;
  old_ = value;
  SetDocumentsValue(folder, REG_SZ);
}

ScopedDocumentsFolder::~ScopedDocumentsFolder() {
  if (hadOld_) {
    SetDocumentsValue(old_, oldType_);
  } else {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, kDocumentsValue);
      RegCloseKey(key);
    }
  }
}
