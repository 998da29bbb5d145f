// The send operation: what the send dialog shows becomes one Evernote note, handed to
// the ENScript import runner.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Sends the note of the send dialog: in rich-text mode (htmlCode null) the dialog's rich
// edit is converted and cleaned up; in HTML-code mode the given code is the body. Adds
// the link paragraph back to the host page, logs into the dialog's list and waits for the
// import to end. The notification sound is the caller's.
void SendNoteFromDialog(HWND dialog, const WideString& nodeTitle, const WideString* htmlCode);

// The converter's document turned into the note body: the plug-in's comment in place of
// the converter's marker, bookmarks as anchors, web addresses as links, the body only.
void CleanConvertedHtml(WideString& html);

// "<P><A HREF=…>title (stamp, imported)</A></P>"; each piece escaped for where it goes,
// so that quotes and angle brackets in a title or path cannot break the markup.
WideString LinkParagraph(const WideString& link, const WideString& documentPath,
                         const WideString& nodeTitle, const WideString& stamp,
                         const WideString& imported);

// Long date, a blank, 24-hour time without AM/PM marker, in the given locale. A part
// whose format call fails is left empty.
WideString FormatLocalDateTime(const SYSTEMTIME& time, LCID locale);

// "Imported from Yarrin by Yarrin2Evernote", from the string table.
WideString ImportedByText();

// The comment every note carries in place of the converter's.
WideString PluginComment();

// "&", "<", ">", double quote and apostrophe as character references.
WideString EscapeHtml(const WideString& text);
