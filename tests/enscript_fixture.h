// An ENScript stand-in of the test's own: ENScript.exe (and the enml2.dtd beside it,
// where the build put one) copied into a fresh folder under the test program's folder,
// registered under its App Paths key for the lifetime of the object, with its notebook
// read back from there.
#pragma once

#include "testbed/support/files.h"

#include <windows.h>

#include <string>
#include <vector>

#include "testbed/notebook_store.h"
#include "tests/registry_fixture.h"

class ScopedEnscript {
 public:
  explicit ScopedEnscript(const std::wstring& name);
  ScopedEnscript(const ScopedEnscript&) = delete;
  ScopedEnscript& operator=(const ScopedEnscript&) = delete;
  ~ScopedEnscript();

  const std::wstring& folder() const { return folder_; }  // ends in a backslash
  std::wstring exePath() const { return folder_ + L"ENScript.exe"; }
  std::vector<StoredNote> Notes() const;
  // Lines of notebook\import-log.txt, one per run.
  std::vector<std::string> ImportLog() const;
  // "exit N" or "sleep MS", read by the stand-in from enscript-fault.txt.
  void SetFault(const std::string& fault) const;
  // Runs this stand-in directly in its folder with the given arguments, as ENScript would
  // be started; returns its exit code. With output, what it printed (stdout and stderr).
  DWORD Run(const std::wstring& arguments, std::string* output = nullptr) const;
  DWORD RunOnce(const std::wstring& arguments, std::string* output) const;
  // Files in the folder whose names end in .enex (note files left behind).
  std::vector<std::wstring> NoteFilesLeft() const;

 private:
  std::wstring folder_;
  ScopedAppPath appPath_;
};

// The process's temporary folder (TMP and TEMP) pointed at a fresh folder under the test
// program's folder for the lifetime of the object, as a user profile would have it.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const std::wstring& relativePath);
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
  ~ScopedTempFolder();

  const std::wstring& folder() const { return folder_; }  // ends in a backslash

 private:
  std::wstring root_;
  std::wstring folder_;
  std::wstring oldTmp_, oldTemp_;
};

// Names of the files in folder (ending in a backslash) whose names end in .enex.
std::vector<std::wstring> EnexFilesIn(const std::wstring& folder);

void RemoveFolderTree(const std::wstring& folder);
