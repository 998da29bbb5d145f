#include "win/message_wait.h"

namespace {

SystemWait systemWait = MsgWaitForMultipleObjectsEx;

bool IsDialog(HWND window) {
  wchar_t className[8] = {};
  return GetClassNameW(window, className, 8) && lstrcmpW(className, L"#32770") == 0;
}

// The dialog's keys (Tab, Enter, Escape) go to the dialog manager, as its own loop does.
void DispatchOne(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialog(root) && IsDialogMessageW(root, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

// A WM_QUIT taken from the queue during the wait, handed back to the thread's own loop
// on every way out: the host's message loop must still see it.
class PendingQuit {
 public:
  PendingQuit() = default;
  PendingQuit(const PendingQuit&) = delete;
  PendingQuit& operator=(const PendingQuit&) = delete;
  ~PendingQuit() {
    if (!taken_) return;
    const DWORD error = GetLastError();  // a failed wait's reason stays for the caller
    PostQuitMessage(static_cast<int>(code_));
    SetLastError(error);
  }
  void Take(WPARAM code) {
    taken_ = true;
    code_ = code;
  }

 private:
  bool taken_ = false;
  WPARAM code_ = 0;
};

}  // namespace

WaitEnd WaitServingMessages(HANDLE handle, DWORD noticeIntervalMs,
                            const std::function<void(DWORD seconds)>& notice,
                            const std::function<bool()>& stop) {
  PendingQuit quit;
  const DWORD start = GetTickCount();
  DWORD nextNotice = noticeIntervalMs;
  for (;;) {
    DWORD timeout = INFINITE;
    if (noticeIntervalMs) {
      DWORD waited = GetTickCount() - start;
      if (waited >= nextNotice) {
        if (notice) notice(waited / 1000);
        nextNotice += noticeIntervalMs;
        continue;
      }
      timeout = nextNotice - waited;
    }
    DWORD result = systemWait(1, &handle, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) return WaitEnd::kSignalled;
    if (result == WAIT_FAILED || result == WAIT_ABANDONED_0) return WaitEnd::kFailed;
    if (result != WAIT_OBJECT_0 + 1) continue;  // time for the next notice
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT)
        quit.Take(message.wParam);
      else
        DispatchOne(message);
      if (stop && stop()) return WaitEnd::kStopped;
    }
    if (stop && stop()) return WaitEnd::kStopped;  // sent messages are served by the peek
  }
}

SystemWait SetSystemWait(SystemWait wait) {
  SystemWait previous = systemWait;
  systemWait = wait ? wait : MsgWaitForMultipleObjectsEx;
  return previous;
}
