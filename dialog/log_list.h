// The send dialog's log: a one-column report list view (control 1003), one row per line,
// newest at the bottom; and "Copy Log", which puts all rows on the clipboard.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Gives the list its single column and adds full-row selection and info tips.
void PrepareLogList(HWND list);

// Appends a row, scrolls it into view, selects and focuses it, and stretches the column
// over the list's client width.
void AppendLogLine(HWND list, const wchar_t* text);

// The log callback of an import: appends text to the list view whose window is context.
// Its result is not used.
int LogToList(const wchar_t* text, void* context);

// Append to the log list of the send dialog.
void AddLogLine(HWND dialog, const WideString& text);
// The string with that id from the plug-in's string table; nothing if it is empty or absent.
void AddLogString(HWND dialog, UINT stringId);

// All rows, whole, joined by line feeds (empty leading rows leave no line feed), as
// Unicode text. Says nothing when the clipboard is busy.
void CopyLogToClipboard(HWND dialog);

// The rows of a log list, in order.
WideString LogText(HWND list);
