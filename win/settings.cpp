#include "win/settings.h"

#include "win/guards.h"

const wchar_t kSettingsKey[] = L"Software\\Yarrin2Evernote";

std::optional<DWORD> ReadUserSetting(const wchar_t* name) {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.put()) !=
      ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    return std::nullopt;
  return value;
}
