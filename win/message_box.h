// A message box that closes itself after a time.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// What a timed box returns when the time ran out.
constexpr int kMessageBoxTimedOut = 32000;

// MessageBoxTimeoutW of the user32.dll already loaded in the process. Returns what it
// returns (kMessageBoxTimedOut when the time ran out), or 0 when the function is not
// there.
int ShowTimedMessageBox(HWND owner, const WideString& text, const WideString& caption,
                        UINT style, DWORD timeoutMs);
