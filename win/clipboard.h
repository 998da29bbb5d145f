// Putting data on the clipboard.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// text with its terminating zero as CF_UNICODETEXT, with the thread's locale.
bool CopyTextToClipboard(const WideString& text);

// Empties the clipboard and places count bytes in format. True if the clipboard took
// them; a block it refused is freed.
bool SetClipboardBytes(UINT format, const void* bytes, size_t count);

// Adds the thread's locale as CF_LOCALE to the open clipboard.
void AddClipboardLocale();
