// Scratch registry state for tests: App Paths keys written into the Wine registry and
// removed again, whatever the test's outcome.
#pragma once

#include <windows.h>

#include <string>

// Registers (or, with an empty path, removes) the App Paths key of a program for the
// lifetime of the object; the key is deleted on destruction.
class ScopedAppPath {
 public:
  ScopedAppPath(const std::wstring& exeName, const std::wstring& path);
  ScopedAppPath(const ScopedAppPath&) = delete;
  ScopedAppPath& operator=(const ScopedAppPath&) = delete;
  ~ScopedAppPath();

  static std::wstring KeyOf(const std::wstring& exeName);

 private:
  std::wstring key_;
};

// Deletes both App Paths keys the plug-in reads.
void RemoveEvernoteAppPaths();

// A DWORD value of the plug-in's own settings (HKCU\Software\Yarrin2Evernote) for the
// lifetime of the object; the settings key is deleted on destruction.
class ScopedUserSetting {
 public:
  ScopedUserSetting(const std::wstring& name, DWORD value);
  ScopedUserSetting(const ScopedUserSetting&) = delete;
  ScopedUserSetting& operator=(const ScopedUserSetting&) = delete;
  ~ScopedUserSetting();
};

// The user's Documents folder (the known folder the shell reports) pointed at folder for
// the lifetime of the object, through the "User Shell Folders" key; restored afterwards.
class ScopedDocumentsFolder {
 public:
  explicit ScopedDocumentsFolder(const std::wstring& folder);
  ScopedDocumentsFolder(const ScopedDocumentsFolder&) = delete;
  ScopedDocumentsFolder& operator=(const ScopedDocumentsFolder&) = delete;
  ~ScopedDocumentsFolder();

 private:
  std::wstring old_;
  DWORD oldType_ = REG_EXPAND_SZ;
  bool hadOld_ = false;
};
