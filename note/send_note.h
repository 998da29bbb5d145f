// The send operation: a page becomes one Evernote note, handed to the ENScript import
// runner. The send dialog hands it the questions to ask; it reads no window itself.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

#include "convert/rtf_to_html.h"
#include "evernote/enex_writer.h"
#include "evernote/import_runner.h"
#include "text/byte_pieces.h"
#include "text/wide_string.h"
#include "win/log_sink.h"
#include "win/system_pieces.h"

// What the note is made of.
enum class BodySource {
  kRichText,  // the page's RTF: converted to HTML and cleaned up
  kHtmlCode,  // htmlCode: the host's HTML code, made valid ENML
};

// What the send asks of the dialog and the host, each at the moment it needs the answer:
// the page first, then the link and the document path, the tags last. A question left
// empty gets an empty answer.
struct SendQuestions {
  // The page as RTF in pieces, for kRichText; nullopt when the page holds text but gives
  // no RTF.
  std::function<std::optional<SystemPieces>()> pageRtf;
  std::function<WideString()> link;          // link back to the host page; empty: none
  std::function<WideString()> documentPath;  // the host's document, named in the link's title
  std::function<WideString()> tags;          // comma-separated; empty: no tags
};

struct SendRequest {
  WideString title;  // the host node's title
  BodySource source = BodySource::kRichText;
  WideString htmlCode;  // the node's HTML code, for kHtmlCode
  SendQuestions ask;
  ImportSettings import;  // how the import runs; its log receives every line of the send
};

// Sends the note and waits until the import has ended; reports through the log, where
// every failure is a line beginning "ERROR: ". A page the converter cannot convert, or
// whose RTF cannot be had, is not sent. Nothing is thrown. The notification sound is the
// caller's.
void SendPage(const SendRequest& request);

// The note's content for a converted page: cleaned up and wrapped in a paragraph, as
// valid ENML in UTF-8 pieces, its pictures as resources (a picture left out is named in
// log). The converter's document goes through the clean-up as it is read, so that the
// page is never held whole twice. False with failure set when the document could not be
// read.
bool PageContent(ConvertedPage& page, const LogSink& log, BytePieces& content,
                 std::vector<NoteResource>& resources, WideString& failure);

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
