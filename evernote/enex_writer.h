// Builds the ENEX file that ENScript imports: one en-export document with one note.
//
// Pure text work: no file access and no clock. The result is UTF-8 without a byte-order
// mark, with single line feeds, and ends directly after "</en-export>". Title and tags
// are escaped as XML text, a "]]>" inside the content is split over two CDATA sections,
// and characters that XML 1.0 forbids are left out, so every document parses.
#pragma once

#include <string>
#include <vector>

#include "text/text_ops.h"

// A UTC time with the fields of Win32's SYSTEMTIME that the file uses.
struct NoteTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

#ifdef _WIN32
struct _SYSTEMTIME;
NoteTime NoteTimeFromSystemTime(const _SYSTEMTIME& time);
#endif

// A file the note carries, such as a picture its content shows through en-media.
struct NoteResource {
  ByteString data;
  std::string mime;     // "image/png"
  int width = 0;        // the image's own size in pixels; 0: not written
  int height = 0;
  WideString fileName;  // the name it had; empty: not written
};

// The whole file. title is used as given (settle it with NoteTitle first); an empty
// tags text means no tags. Resources follow the tags, their data in base64 written
// straight into the document; without resources the document is as it always was.
ByteString BuildEnexDocument(WideView title, const WideString& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources = {});

// data in base64 appended to out, 76 characters a line, lines ended by line feeds.
void AppendBase64(ByteString& out, const ByteString& data);

// The title, or "The Default Title " when it is empty.
WideString NoteTitle(WideView title);

// The content element: the content as an ENML document inside CDATA.
WideString NoteContentElement(WideView content);

// "yyyymmddThhmmssZ"; milliseconds are ignored and no time zone is applied.
WideString EnexTimestamp(const NoteTime& time);

// One "<tag>…</tag>\n" per comma-separated piece, each trimmed of blanks and escaped;
// empty when the tag text is empty.
WideString TagElements(WideView tags);
