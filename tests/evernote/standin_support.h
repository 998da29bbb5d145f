// Processes and windows of the Evernote client stand-in, for the tests that start it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// bin\Evernote.exe, built beside the test programs.
std::wstring StandInPath();

// Identifiers of the running processes whose executable is named exeName (any case), in
// the order of the system's snapshot.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName);

// Ends every process named exeName and waits until each is gone.
void EndProcessesNamed(const std::wstring& exeName);

// The stand-in's main window in the process, or null.
HWND StandInWindowOf(DWORD processId);
DWORD ProcessOf(HWND window);

// Pumps this thread's messages until done() holds or timeoutMs has passed; returns done().
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// A scratch folder under the temporary folder, deleted with its files on destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();
  const std::wstring& path() const { return path_; }  // with a trailing backslash

 private:
  std::wstring path_;
};

// Starts a program directly (not through the shell); its process handle, or null.
HANDLE StartProgram(const std::wstring& path);
