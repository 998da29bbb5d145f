// The peak private memory of one stretch of a benchmark (a send), beyond what the
// process held when it began. Windows keeps the peak itself (PeakPagefileUsage), so each
// measured stretch runs in a fresh process (RunFresh). Wine reports the memory in use
// there, not its peak, so a thread also samples it every millisecond; a large buffer is
// returned to the system when freed, so it shows unless it lives less than that.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "win/guards.h"

class PeakMemory {
 public:
  PeakMemory() = default;
  PeakMemory(const PeakMemory&) = delete;
  PeakMemory& operator=(const PeakMemory&) = delete;
  ~PeakMemory() { Stop(); }

  // Begins a stretch: the peak counts from here. The sampling thread's own stack is
  // there before the start, so that it is not counted as the stretch's.
  void Start() {
    Stop();
    stop_ = false;
    armed_ = false;
    running_ = false;
    sampler_.reset(CreateThread(nullptr, 0, Sample, this, 0, nullptr));
    while (sampler_ && !running_) Sleep(1);
    start_ = Counters().PagefileUsage;
    highest_ = start_;
    armed_ = true;
  }

  // The most the process has held beyond the start, in bytes.
  double PeakSinceStart() {
    Note(Counters().PagefileUsage);
    const SIZE_T peak = highest_.load();
    return peak > start_ ? static_cast<double>(peak - start_) : 0;
  }

 private:
  static PROCESS_MEMORY_COUNTERS Counters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
  }
  static DWORD WINAPI Sample(void* self) {
    auto* memory = static_cast<PeakMemory*>(self);
    memory->running_ = true;
    while (!memory->stop_) {
      if (!memory->armed_) {
        Sleep(1);
        continue;
      }
      const PROCESS_MEMORY_COUNTERS counters = Counters();
      memory->Note(counters.PagefileUsage);
      memory->Note(counters.PeakPagefileUsage);  // Windows' own peak, for a fresh process
      Sleep(1);
    }
    return 0;
  }
  void Note(SIZE_T bytes) {
    SIZE_T seen = highest_.load();
    while (bytes > seen && !highest_.compare_exchange_weak(seen, bytes)) {
    }
  }
  void Stop() {
    stop_ = true;
    if (sampler_) WaitForSingleObject(sampler_.get(), INFINITE);
    sampler_.reset();
  }

  SIZE_T start_ = 0;
  std::atomic<SIZE_T> highest_{0};
  std::atomic<bool> stop_{true};
  std::atomic<bool> running_{false};
  std::atomic<bool> armed_{false};
  UniqueThread sampler_;
};

// Runs this program again with arguments (a fresh process, so that its peak is its own)
// and waits for it, at most kLongestRunMs: a run that hangs is ended there. The run
// prints its lines and ends with 0, or with 1 after a line that says what failed. Its
// output goes through a file and is printed here once it has ended: a run that died
// (Wine may give a killed process any exit code) leaves no output, and then, as for a run
// that could not start or was stopped at the limit, an error line for label is printed
// instead. True when the run printed its lines and ended with 0.
constexpr DWORD kLongestRunMs = 30 * 60 * 1000;

inline bool RunFresh(const std::string& arguments, const std::string& label) {
  std::fflush(stdout);
  wchar_t path[MAX_PATH];
  wchar_t folder[MAX_PATH];
  wchar_t outputPath[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH) || !GetTempPathW(MAX_PATH, folder) ||
      !GetTempFileNameW(folder, L"run", 0, outputPath)) {
    std::printf("%10s   error: cannot prepare a run (error %lu)\n", label.c_str(), GetLastError());
    return false;
  }
  SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
  UniqueFile output(CreateFileW(outputPath, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                nullptr));
  std::wstring command =
      L"\"" + std::wstring(path) + L"\" " + std::wstring(arguments.begin(), arguments.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output.get();
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  if (!output || !CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &started)) {
    std::printf("%10s   error: cannot start a run (error %lu)\n", label.c_str(), GetLastError());
    return false;
  }
  UniqueProcess process(started.hProcess);
  UniqueThread thread(started.hThread);
  if (WaitForSingleObject(process.get(), kLongestRunMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
    std::printf("%10s   error: the run did not end within %lu minutes and was stopped\n",
                label.c_str(), kLongestRunMs / 60000);
    return false;
  }
  std::string printed;
  char buffer[4096];
  DWORD read = 0;
  SetFilePointer(output.get(), 0, nullptr, FILE_BEGIN);
  while (ReadFile(output.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    printed.append(buffer, read);
  std::fwrite(printed.data(), 1, printed.size(), stdout);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) code = 0xFFFFFFFF;
  if (printed.empty() || code > 1)
    std::printf("%10s   error: the run ended (code %lu, 0x%08lX) without its line\n",
                label.c_str(), code, code);
  std::fflush(stdout);
  return !printed.empty() && code == 0;
}
