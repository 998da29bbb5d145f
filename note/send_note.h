// The send operation: a page becomes one Evernote note, handed to the ENScript import
// runner. It takes a plain request that the send dialog fills in and reads no window.
#pragma once

#include <windows.h>

#include "evernote/import_runner.h"
#include "text/wide_string.h"

// What the note is made of.
enum class BodySource {
  kRichText,  // rtf: converted to HTML and cleaned up
  kHtmlCode,  // htmlCode: the body as it is, without conversion or clean-up
};

struct SendRequest {
  WideString title;         // the host node's title
  WideString link;          // link back to the host page; empty: no link paragraph
  WideString documentPath;  // the host's document, named in the link's title
  WideString tags;          // comma-separated; empty: no tags
  BodySource source = BodySource::kRichText;
  ByteString rtf;           // the page as RTF, for kRichText
  WideString htmlCode;      // the node's HTML code, for kHtmlCode
  bool showConsole = false;  // ENScript's window is shown
  LogCallback logCallback = nullptr;  // receives every log line; may be null
  void* logContext = nullptr;
  WaitControl* waitControl = nullptr;  // the way out of a long wait for ENScript; may be null
};

// Sends the note and waits until the import has ended; reports through the log, where
// every failure is a line beginning "ERROR: ". A page the converter cannot convert is not
// sent. Nothing is thrown. The notification sound is the caller's. The request is taken
// by value, so that a caller who moves it in lets the page's RTF go once it is converted.
void SendNote(SendRequest request);

// The per-user setting (seconds) for how often a send that waits for ENScript says so.
inline constexpr wchar_t kWaitNoticeSetting[] = L"WaitNoticeSeconds";

// "<p><a href=…>title (stamp, imported)</a></p>"; each piece escaped for where it goes,
// so that quotes and angle brackets in a title or path cannot break the markup.
WideString LinkParagraph(const WideString& link, const WideString& documentPath,
                         const WideString& nodeTitle, const WideString& stamp,
                         const WideString& imported);

// Long date, a blank, 24-hour time without AM/PM marker, in the given locale. A part
// whose format call fails is left empty.
WideString FormatLocalDateTime(const SYSTEMTIME& time, LCID locale);

// "Imported from Yarrin by Yarrin2Evernote", from the string table.
WideString ImportedByText();
