// Where the lines of a send go: one row each in the dialog's log list, or a test's
// collector. A failure's line begins with kErrorPrefix, so that the user tells failures
// from steps at a glance.
#pragma once

#include "text/wide_string.h"

inline constexpr char16_t kErrorPrefix[] = u"ERROR: ";

// Receives one line; the result is not read.
using LogCallback = int (*)(const wchar_t* text, void* context);
// Puts the lines received so far on screen now.
using LogShow = void (*)(void* context);

struct LogSink {
  LogCallback callback = nullptr;  // null: the lines go nowhere
  void* context = nullptr;         // handed back to callback and show unchanged
  // Null: each line is shown as it comes. A sink that shows lines in groups (a window
  // redraws once for several) is told here when the group must be on screen: before a
  // wait, for one.
  LogShow show = nullptr;

  void Line(const WideString& text) const {
    if (callback) callback(WidePtr(text), context);
  }
  void Error(const WideString& text) const { Line(kErrorPrefix + text); }
  void Show() const {
    if (show) show(context);
  }
};
