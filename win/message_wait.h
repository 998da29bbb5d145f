// Waiting for another process without freezing this thread's windows.
#pragma once

#include <windows.h>

#include <functional>

// How a wait ended.
enum class WaitEnd {
  kSignalled,  // the handle was signalled
  kStopped,    // stop() said so: the caller gave up waiting
  kFailed,     // the system refused to wait (GetLastError tells why): the handle's
               // owner may still be running
};

// Waits until handle is signalled while dispatching this thread's messages, so that its
// windows keep painting, moving and answering (dialog keys included). notice(seconds)
// is called every noticeIntervalMs (0: never) with the time waited so far; stop (may be
// empty) is asked after every message served and ends the wait when it says true. A
// WM_QUIT that arrives meanwhile changes nothing: the windows are served on, and the
// quit is posted again when the wait ends.
WaitEnd WaitServingMessages(HANDLE handle, DWORD noticeIntervalMs,
                            const std::function<void(DWORD seconds)>& notice,
                            const std::function<bool()>& stop = nullptr);

// What the wait waits with: MsgWaitForMultipleObjectsEx's arguments and result. Tests put
// in one that fails, as the system does for a handle that is no longer valid. Returns the
// one it replaces; null puts the system's back.
using SystemWait = DWORD(WINAPI*)(DWORD count, const HANDLE* handles, DWORD timeoutMs,
                                 DWORD wakeMask, DWORD flags);
SystemWait SetSystemWait(SystemWait wait);
