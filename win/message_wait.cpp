#include "win/message_wait.h"

namespace {

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

}  // namespace

void WaitServingMessages(HANDLE handle, DWORD noticeIntervalMs,
                         const std::function<void(DWORD seconds)>& notice) {
  const DWORD start = GetTickCount();
  DWORD nextNotice = noticeIntervalMs;
  bool quit = false;
  WPARAM quitCode = 0;
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
    DWORD result = quit ? WaitForSingleObject(handle, timeout)
                        : MsgWaitForMultipleObjectsEx(1, &handle, timeout, QS_ALLINPUT,
                                                      MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED || result == WAIT_ABANDONED_0) break;
    if (result != WAIT_OBJECT_0 + 1) continue;  // time for the next notice
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        break;
      }
      DispatchOne(message);
    }
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}
