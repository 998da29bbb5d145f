// The send dialog: menu command "Send Text 2 Evernote".
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Runs the modal send dialog over owner (may be null) for the host's current page and
// returns when the user has closed it.
void OpenSendDialog(HWND owner, HWND hostEditorWindow, const WideString& displayName,
                    int nodeKind);
