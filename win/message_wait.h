// Waiting for another process without freezing this thread's windows.
#pragma once

#include <windows.h>

#include <functional>

// Waits until handle is signalled while dispatching this thread's messages, so that its
// windows keep painting, moving and answering (dialog keys included). notice(seconds)
// is called every noticeIntervalMs with the time waited so far. A WM_QUIT that arrives
// meanwhile ends the dispatching, not the wait, and is posted again afterwards.
void WaitServingMessages(HANDLE handle, DWORD noticeIntervalMs,
                         const std::function<void(DWORD seconds)>& notice);
