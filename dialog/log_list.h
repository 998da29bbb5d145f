// The send dialog's log: a one-column report list view (control 1003), one row per line,
// newest at the bottom; and "Copy Log", which puts all rows on the clipboard.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Gives the list its single column and adds full-row selection and info tips.
void PrepareLogList(HWND list);

// Appends a row, selects and focuses it, scrolls it into view and stretches the column
// over the list's client width; within a LogBatch the last two wait for the batch's end.
void AppendLogLine(HWND list, const wchar_t* text);

// Lines added to list while it lives are shown together: the list holds its redraw, and
// when the batch ends it scrolls the last row into view and stretches the column once,
// leaving the list as line-by-line adding would. Under Wine each line shown on its own
// redraws the scroll bar at once (10-25 ms a line). A batch opened while another is open
// on the list adds nothing; the first ends them.
class LogBatch {
 public:
  explicit LogBatch(HWND list);
  LogBatch(const LogBatch&) = delete;
  LogBatch& operator=(const LogBatch&) = delete;
  ~LogBatch();

 private:
  HWND list_;
  bool opened_;
};

// Ends the batch open on list, if any, and paints the list: its lines are on screen when
// this returns. Called before a wait or a message box, which must not find them held.
void ShowLogLines(HWND list);

// The log callbacks of an import: LogToList appends text to the list view whose window
// is context (its result is not used); ShowLogList shows its lines now.
int LogToList(const wchar_t* text, void* context);
void ShowLogList(void* context);

// Append to the log list of the send dialog.
void AddLogLine(HWND dialog, const WideString& text);
// The string with that id from the plug-in's string table; nothing if it is empty or absent.
void AddLogString(HWND dialog, UINT stringId);

// All rows, whole, joined by line feeds (empty leading rows leave no line feed), as
// Unicode text. Says nothing when the clipboard is busy.
void CopyLogToClipboard(HWND dialog);

// The rows of a log list, in order.
WideString LogText(HWND list);
