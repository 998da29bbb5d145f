// The plug-in's own per-user settings: DWORD values under
// HKEY_CURRENT_USER\Software\Yarrin2Evernote. None is needed; each has a default.
#pragma once

#include <windows.h>

#include <optional>

extern const wchar_t kSettingsKey[];  // "Software\Yarrin2Evernote"

// The settings' names.
// 1: the note is saved as an ENEX file even where ENScript is installed.
inline constexpr wchar_t kSaveEnexFileSetting[] = L"SaveEnexFile";
// Seconds between the log's notices that a send still waits for ENScript.
inline constexpr wchar_t kWaitNoticeSetting[] = L"WaitNoticeSeconds";

// The DWORD value of that name, or nothing when it is absent or of another type.
std::optional<DWORD> ReadUserSetting(const wchar_t* name);
