// The About box, the two installation lines it shares with the send dialog, and the
// message box that closes itself.
#pragma once

#include <windows.h>

#include <vector>

#include "text/wide_string.h"

// Shows the About text, owned by the host's main window, for 15 seconds at most.
void ShowAbout();

// The six lines of the About text, in order.
std::vector<WideString> AboutLines();

// "Evernote Path: " and "ENScript Path: ", each followed by the registered path (if any).
std::vector<WideString> InstallInfoLines();

// MessageBoxTimeoutW of the user32.dll already loaded in the process. Returns what it
// returns (32000 when the time ran out), or 0 when the function is not there.
int ShowTimedMessageBox(HWND owner, const WideString& text, const WideString& caption,
                        UINT style, DWORD timeoutMs);

// Lines joined by CR LF, without a line break at the end.
WideString JoinLines(const std::vector<WideString>& lines);

constexpr int kMessageBoxTimedOut = 32000;
extern const char16_t kPluginCaption[];  // "Yarrin2Evernote"
