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
// and waits for it; its output goes where this program's goes. The exit code, or -1.
inline int RunFresh(const std::string& arguments) {
  wchar_t path[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return -1;
  std::wstring command =
      L"\"" + std::wstring(path) + L"\" " + std::wstring(arguments.begin(), arguments.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  std::fflush(stdout);
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &started))
    return -1;
  UniqueProcess process(started.hProcess);
  UniqueThread thread(started.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  return GetExitCodeProcess(process.get(), &code) ? static_cast<int>(code) : -1;
}
