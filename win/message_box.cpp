#include "win/message_box.h"

#include <utility>

namespace {

using MessageBoxTimeoutFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT, WORD, DWORD);

// Looked up once and kept; a failed lookup is tried again on the next call.
MessageBoxTimeoutFn MessageBoxTimeoutFunction() {
  static MessageBoxTimeoutFn function = nullptr;
  if (!function) {
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll"))
      function = reinterpret_cast<MessageBoxTimeoutFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxTimeoutW")));
  }
  return function;
}

// Wine's MessageBoxTimeoutW ignores its timeout. A thread timer, served by the box's own
// modal loop, ends the box when the time is up; on Windows the box usually ends itself
// first and the timer is simply killed.
thread_local HWND timedBox = nullptr;
thread_local HHOOK boxHook = nullptr;

LRESULT CALLBACK RememberBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && !timedBox) {
    wchar_t className[16] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), className, 16);
    if (lstrcmpW(className, L"#32770") == 0) timedBox = reinterpret_cast<HWND>(wParam);
  }
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

void CALLBACK EndTimedBox(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (timedBox && IsWindow(timedBox)) EndDialog(timedBox, kMessageBoxTimedOut);
}

}  // namespace

int ShowTimedMessageBox(HWND owner, const WideString& text, const WideString& caption,
                        UINT style, DWORD timeoutMs) {
  MessageBoxTimeoutFn function = MessageBoxTimeoutFunction();
  if (!function) return 0;
  HWND outerBox = std::exchange(timedBox, nullptr);
  HHOOK outerHook = std::exchange(
      boxHook, SetWindowsHookExW(WH_CBT, RememberBox, nullptr, GetCurrentThreadId()));
  UINT_PTR timer = SetTimer(nullptr, 0, timeoutMs, EndTimedBox);
  int result = function(owner, WidePtr(text), WidePtr(caption), style, 0, timeoutMs);
  if (timer) KillTimer(nullptr, timer);
  if (boxHook) UnhookWindowsHookEx(boxHook);
  boxHook = outerHook;
  timedBox = outerBox;
  return result;
}

