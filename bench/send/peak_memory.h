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
// and waits for it, at most kLongestRunMs: a run that hangs is ended there. Its output
// goes where this program's goes. The run prints its own line and ends with 0, or with 1
// after a line that says what failed; for any other end (it crashed, could not start, or
// was stopped at the limit) an error line for label is printed here. True when it ended
// with 0.
constexpr DWORD kLongestRunMs = 30 * 60 * 1000;

inline bool RunFresh(const std::string& arguments, const std::string& label) {
  wchar_t path[MAX_PATH];
  std::fflush(stdout);
  std::wstring command;
  if (GetModuleFileNameW(nullptr, path, MAX_PATH))
    command = L"\"" + std::wstring(path) + L"\" " + std::wstring(arguments.begin(), arguments.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (command.empty() || !CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                         nullptr, &startup, &started)) {
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
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) code = 0xFFFFFFFF;
  if (code > 1)
    std::printf("%10s   error: the run ended with code %lu (0x%08lX) before its line\n",
                label.c_str(), code, code);
  std::fflush(stdout);
  return code == 0;
}
